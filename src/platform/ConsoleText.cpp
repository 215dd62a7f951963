#include "platform/ConsoleText.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <string>
#endif

namespace tarnel {
namespace {

bool WriteBytes(std::FILE* stream, std::string_view bytes) {
    const bool whole = std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
    return std::fflush(stream) == 0 && whole;
}

#ifdef _WIN32
// The console behind `stream`, or nothing when it is a pipe, a file or no stream at all.
HANDLE ConsoleOf(std::FILE* stream) {
    const int descriptor = _fileno(stream);
    if (descriptor < 0) {
        return nullptr;
    }
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || GetConsoleMode(handle, &mode) == 0) {
        return nullptr;
    }
    return handle;
}

bool WriteWide(HANDLE console, std::string_view utf8) {
    const int size = static_cast<int>(utf8.size());
    std::wstring wide(
        static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)),
        L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
    // A console may take a long text in several parts.
    std::size_t done = 0;
    while (done < wide.size()) {
        DWORD written = 0;
        if (WriteConsoleW(console, wide.data() + done, static_cast<DWORD>(wide.size() - done),
                          &written, nullptr) == 0 ||
            written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

bool LeadsSomewhere(DWORD which) {
    HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}
#endif

}  // namespace

bool WriteText(std::FILE* stream, std::string_view utf8) {
#ifdef _WIN32
    if (HANDLE console = ConsoleOf(stream)) {
        // What the stream still buffers goes first, so that the order stays.
        std::fflush(stream);
        return WriteWide(console, utf8);
    }
#endif
    return WriteBytes(stream, utf8);
}

void AttachParentConsole() {
#ifdef _WIN32
    const bool output = LeadsSomewhere(STD_OUTPUT_HANDLE);
    const bool error = LeadsSomewhere(STD_ERROR_HANDLE);
    if ((output && error) || AttachConsole(ATTACH_PARENT_PROCESS) == 0) {
        return;
    }
    if (!output) {
        std::freopen("CONOUT$", "w", stdout);
    }
    if (!error) {
        std::freopen("CONOUT$", "w", stderr);
    }
#endif
}

}  // namespace tarnel

#include "platform/DynamicLibrary.h"

#include <cstring>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <sys/stat.h>
#endif

namespace tarnel {
namespace {

#ifdef _WIN32
// The system's text for an error code, without the line end it comes with.
std::string SystemMessage(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 && text != nullptr ? std::string(text, length) : "";
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    if (message.empty()) {
        message = "unknown error";
    }
    return message + " (error " + std::to_string(code) + ")";
}
#endif

}  // namespace

DynamicLibrary::~DynamicLibrary() {
    Unload();
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        Unload();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

void DynamicLibrary::Unload() {
    if (handle_ == nullptr) {
        return;
    }
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
    handle_ = nullptr;
}

std::string DynamicLibrary::Load(const std::filesystem::path& file) {
    Unload();
#ifdef _WIN32
    // Never the current folder, which may be anybody's (a folder of images from elsewhere)
    // and would run whatever library of that name stands there. A path with a folder in it
    // is made absolute: the search flags take it as it is then.
    const bool bare = !file.has_parent_path();
    std::error_code error;
    const std::filesystem::path name = bare ? file : std::filesystem::absolute(file, error);
    handle_ = LoadLibraryExW(name.c_str(), nullptr,
                             LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    return handle_ != nullptr ? std::string() : SystemMessage(GetLastError());
#else
    // The loader opens the file and waits for a writer when it is a FIFO: only a regular
    // file is handed to it.
    struct stat st {};
    if (file.has_parent_path() && ::stat(file.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        return S_ISDIR(st.st_mode) ? "is a directory, not a regular file" : "is not a regular file";
    }
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ != nullptr) {
        return {};
    }
    const char* reason = dlerror();
    return reason != nullptr ? reason : "unknown error";
#endif
}

DynamicLibrary::Function DynamicLibrary::Find(const char* name) const {
    if (handle_ == nullptr) {
        return nullptr;
    }
#ifdef _WIN32
    // Any function pointer converts to void (*)() without a cast-function-type warning.
    return reinterpret_cast<Function>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
    void* symbol = dlsym(handle_, name);
    Function function = nullptr;
    // dlsym hands back a data pointer; copying its bits is the portable conversion.
    static_assert(sizeof function == sizeof symbol);
    std::memcpy(&function, &symbol, sizeof function);
    return function;
#endif
}

}  // namespace tarnel

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

#include "platform/ConsoleText.h"
#include "support/Portable.h"

namespace tarnel {
namespace {

// "Ümlaut\Démo Ångström", as every layer holds it.
const std::string kNonAsciiPath = "\xC3\x9Cmlaut\\D\xC3\xA9mo \xC3\x85ngstr\xC3\xB6m\\demo.rom";

// A pipe or a file gets exactly the bytes, even those that are not UTF-8.
TEST(ConsoleText, AFileGetsTheBytesUnchanged) {
    const auto dir = test::MakeTemporaryDirectory("tarnel-console-text-");
    ASSERT_FALSE(dir.empty());
    const auto path = dir / "out.txt";
    const std::string text = kNonAsciiPath + " \xFF\x80\n";
    {
        std::FILE* file = std::fopen(path.string().c_str(), "wb");
        ASSERT_NE(file, nullptr);
        EXPECT_TRUE(WriteText(file, text));
        std::fclose(file);
    }
    std::ifstream in(path, std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(in), {}};
    in.close();
    EXPECT_EQ(written, text);
    std::filesystem::remove_all(dir);
}

#ifdef _WIN32
// A console whose code page is not UTF-8 still shows every letter.
TEST(ConsoleText, AConsoleShowsEveryLetter) {
    FreeConsole();
    ASSERT_NE(AllocConsole(), 0);
    // The code page of a Western console; with UTF-8 the check below could not fail.
    SetConsoleOutputCP(437);
    ASSERT_NE(GetConsoleOutputCP(), static_cast<UINT>(CP_UTF8));
    HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(console, INVALID_HANDLE_VALUE);
    const int descriptor =
        _open_osfhandle(reinterpret_cast<intptr_t>(console), _O_WRONLY | _O_BINARY);
    std::FILE* stream = _fdopen(descriptor, "wb");
    ASSERT_NE(stream, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO before{};
    if (GetConsoleScreenBufferInfo(console, &before) == 0) {
        // Wine makes a working console only with a display; scripts/test-windows-window
        // runs this test again in Xvfb and requires it to pass there.
        std::fclose(stream);
        FreeConsole();
        GTEST_SKIP() << "no console screen buffer here (error " << GetLastError() << ")";
    }

    EXPECT_TRUE(WriteText(stream, kNonAsciiPath));

    const std::wstring expected = L"\u00DCmlaut\\D\u00E9mo \u00C5ngstr\u00F6m\\demo.rom";
    std::wstring shown(expected.size(), L'\0');
    DWORD read = 0;
    ASSERT_NE(ReadConsoleOutputCharacterW(console, shown.data(), static_cast<DWORD>(shown.size()),
                                          before.dwCursorPosition, &read),
              0);
    shown.resize(read);
    EXPECT_TRUE(shown == expected);
    std::fclose(stream);
    FreeConsole();
}
#endif

}  // namespace
}  // namespace tarnel

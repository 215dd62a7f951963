#pragma once
// Text for the user on a standard stream. Every layer holds its text as UTF-8; a Windows
// console shows those bytes through its own code page, which garbles every letter beyond
// ASCII, so there the text goes out as wide characters instead.

#include <cstdio>
#include <string_view>

namespace tarnel {

// Writes `utf8` to `stream` and flushes it. When `stream` is a Windows console, the text is
// written as UTF-16 through the console (a byte sequence that is not UTF-8 shows as the
// replacement character); to a pipe or a file, and on every other system, the bytes go
// out unchanged. Returns false when not all of it could be written.
bool WriteText(std::FILE* stream, std::string_view utf8);

// For a program of the Windows window subsystem, which gets no console of its own: when it
// was started from a console, standard output and standard error that lead nowhere are
// opened on that console, so that a script's console shows the tool's lines. Streams that
// already go to a pipe or a file stay as they are. Does nothing on other systems, and
// nothing when the parent has no console (a start from Explorer).
void AttachParentConsole();

}  // namespace tarnel

#pragma once
// The program's command-line arguments as the rest of the tool takes file names.

#include <string>
#include <vector>

namespace tarnel {

// The arguments after the program name. On Windows they are read wide from the system and
// returned as UTF-8 (argv holds them in the ANSI code page, which loses characters outside
// it); elsewhere they are argv's bytes as given.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// The file name part of `path` (argv[0]): what follows its last '/' (or, on Windows, its
// last '/' or '\\'); `path` itself when it has none. Points into `path`; `fallback` when
// `path` is null or empty.
const char* ProgramBaseName(const char* path, const char* fallback);

}  // namespace tarnel

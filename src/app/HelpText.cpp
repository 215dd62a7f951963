#include "app/HelpText.h"

#include <cstdio>
#include <cstring>

#include "app/Application.h"
#include "platform/Arguments.h"
#include "platform/BootloaderPlaces.h"

#ifndef TARNEL_VERSION_TEXT
#error "TARNEL_VERSION_TEXT comes from the build's project version"
#endif

namespace tarnel {

std::string UsageText(std::string_view program) {
    const std::string name(program);
    std::string text = "Usage: " + name + " [-p] [-c | -cc] [--adapter SERIAL|PORT] [IMAGE.rom]\n" +
                       "       " + name + " --help | --version\n" +
                       "Writes IMAGE.rom into the flash of the target through the Dravin "
                       "adapter.\n"
                       "\n"
                       "Options (compared whole; any other argument is the image file, the "
                       "last one wins):\n"
                       "  -p         start programming as soon as the window shows\n"
                       "  -c         close when programming ends (not after a failed upload or\n"
                       "             programming step, unless no display is reachable)\n"
                       "  -cc        as -c, with no message box: each report is one line on\n"
                       "             standard error, \"tarnel: TEXT: DETAIL\"\n"
                       "  --adapter SERIAL|PORT\n"
                       "             use only this adapter (also --adapter=SERIAL|PORT);\n"
                       "             replaces TARNEL_ADAPTER\n"
                       "  --help     print this text and exit\n"
                       "  --version  print the version and exit\n"
                       "With -p and -c or -cc and no display, the tool runs without a window.\n"
                       "\n" +
                       BootloaderPlacesHelp();
    text +=
        "\n"
        "Environment:\n"
        "  TARNEL_ADAPTER     use only the adapter with this serial number or USB port path\n"
        "  TARNEL_LOG         append one line per event to this file (-: standard error)\n"
        "  TARNEL_BOOTLOADER  the bootloader image to use, and no other\n"
        "\n"
        "Exit status:\n"
        "  0  nothing failed\n"
        "  1  debug-port or programming failure\n"
        "  2  file or adapter failure\n"
        "  " +
        std::to_string(kNoDisplayStatus) +
        "  no display could be opened for the window\n"
        "  128+N  a run stopped by signal N (130 SIGINT, 143 SIGTERM, 129 SIGHUP)\n";
    return text;
}

std::string VersionText(std::string_view program) {
    return std::string(program) + " " + TARNEL_VERSION_TEXT + "\n";
}

std::optional<int> AnswerHelpOrVersion(int argc, char** argv) {
    bool help = false;
    bool version = false;
    for (int i = 1; i < argc; ++i) {
        help = help || std::strcmp(argv[i], "--help") == 0;
        version = version || std::strcmp(argv[i], "--version") == 0;
    }
    if (!help && !version) {
        return std::nullopt;
    }
    const std::string_view program = ProgramBaseName(argc > 0 ? argv[0] : nullptr, "tarnel");
    const std::string text = help ? UsageText(program) : VersionText(program);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return 0;
}

}  // namespace tarnel

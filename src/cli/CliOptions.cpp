#include "cli/CliOptions.h"

#include "platform/BootloaderPlaces.h"

namespace tarnel::cli {

ToolOptions ParseCliArguments(const std::vector<std::string>& arguments) {
    ToolOptions options = ParseToolOptions(arguments, kCliOptions);
    if (options.action != ToolAction::Run) {
        return options;
    }
    if (options.operands.size() != 1) {
        options.action = ToolAction::UsageError;
        options.error = options.operands.empty()
                            ? "no image named"
                            : "one image at a time (given: " + options.operands[0] + ", " +
                                  options.operands[1] + ")";
    }
    return options;
}

std::string CliSynopsis() {
    return "Usage: tarnel-cli [-q | -v] [-a SERIAL|PORT] [--log FILE] [--lenient] [--] IMAGE.rom\n"
           "       tarnel-cli --check [--lenient] [--] IMAGE.rom\n"
           "       tarnel-cli -h | --help | -V | --version\n";
}

std::string CliUsage() {
    std::string text = CliSynopsis() +
                       "Programs IMAGE.rom into the target's flash through the Dravin adapter, "
                       "as\n'tarnel -cc -p IMAGE.rom' does, without a window.\n"
                       "\n"
                       "Options (-- ends them, so that an image name may start with -):\n" +
                       ToolOptionsHelp(kCliOptions) + "\n" + BootloaderPlacesHelp();
    text +=
        "\n"
        "Environment:\n"
        "  TARNEL_ADAPTER       the adapter to use, as --adapter chooses it\n"
        "  TARNEL_LOG           append one line per event to this file (-: stderr)\n"
        "  TARNEL_BOOTLOADER    the bootloader image to use, and no other\n"
        "  TARNEL_DRIVER        the driver: libftdi (Linux) or d2xx\n"
        "  TARNEL_D2XX_LIBRARY  the D2XX library to load in place of the system's\n"
        "  TARNEL_LENIENT_IMAGES  1: as --lenient\n"
        "\n"
        "Exit status:\n"
        "  0   programmed\n"
        "  1   debug-port or programming failure\n"
        "  2   file, adapter or driver failure\n"
        "  64  wrong command line\n";
    return text;
}

}  // namespace tarnel::cli

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

bool IsGang(const ToolOptions& options) {
    return options.all || options.adapters.size() > 1 || options.report.has_value();
}

std::string CliSynopsis() {
    return "Usage: tarnel-cli [-q | -v] [-a SERIAL|PORT] [--log FILE] [--] IMAGE.rom\n"
           "       tarnel-cli (--all | -a SERIAL|PORT -a ...) [--report FILE] [--log FILE]\n"
           "                  [--] IMAGE.rom\n"
           "       tarnel-cli -h | --help | -V | --version\n";
}

std::string CliUsage() {
    std::string text =
        CliSynopsis() +
        "Programs IMAGE.rom into the target's flash through the Dravin adapter, "
        "as\n'tarnel -cc -p IMAGE.rom' does, without a window; with --all or several\n"
        "adapters, on every board at once (a gang), one process per adapter.\n"
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
        "\n"
        "Exit status:\n"
        "  0   programmed\n"
        "  1   debug-port or programming failure\n"
        "  2   file, adapter or driver failure\n"
        "  64  wrong command line\n"
        "A gang: 0 every board programmed, 1 any failed, 2 no usable adapter or the\n"
        "image refused (nothing started), 130/143/129 stopped by Ctrl-C/SIGTERM/SIGHUP.\n";
    return text;
}

}  // namespace tarnel::cli

#include "cli/CliOptions.h"

#include <cerrno>
#include <cstdlib>

#include "platform/BootloaderPlaces.h"

namespace tarnel::cli {
namespace {

// Reads --format, --base and --byte-order into `image`; what is wrong with them, or "".
std::string ReadImageOptions(const ToolOptions& options, CliImageOptions& image) {
    if (options.format) {
        const ImageFormatInfo* info = FindImageFormat(*options.format);
        if (info == nullptr) {
            return "unknown image format " + *options.format + " (formats: " + ImageFormatNames() +
                   ")";
        }
        image.format = info->format;
    }
    if (options.base) {
        const std::string& value = *options.base;
        char* end = nullptr;
        errno = 0;
        const unsigned long long base = std::strtoull(value.c_str(), &end, 0);
        if (value[0] == '-' || *end != '\0' || errno != 0) {
            return "--base takes a byte address, decimal or 0x hex, not " + value;
        }
        image.read.base = base;
    }
    if (options.byteOrder) {
        if (*options.byteOrder != "little" && *options.byteOrder != "big") {
            return "--byte-order is little or big, not " + *options.byteOrder;
        }
        image.read.byteOrder = *options.byteOrder == "big" ? ByteOrder::Big : ByteOrder::Little;
    }
    const bool binary = image.format == ImageFormat::Binary;
    if (binary != options.base.has_value()) {
        return binary ? "--format=bin needs --base=ADDRESS, where its first byte goes"
                      : "--base is for --format=bin only";
    }
    return {};
}

}  // namespace

ToolOptions ParseCliArguments(const std::vector<std::string>& arguments, CliImageOptions& image) {
    ToolOptions options = ParseToolOptions(arguments, kCliOptions);
    if (options.action != ToolAction::Run) {
        return options;
    }
    std::string error = ReadImageOptions(options, image);
    if (error.empty() && options.operands.size() != 1) {
        error = options.operands.empty() ? "no image named"
                                         : "one image at a time (given: " + options.operands[0] +
                                               ", " + options.operands[1] + ")";
    }
    if (!error.empty()) {
        options.action = ToolAction::UsageError;
        options.error = error;
    }
    return options;
}

bool IsGang(const ToolOptions& options) {
    return options.all || options.adapters.size() > 1 || options.report.has_value();
}

std::string CliSynopsis() {
    return "Usage: tarnel-cli [-q | -v] [-a SERIAL|PORT] [--log FILE] [--lenient]\n"
           "                  [--format NAME [--base ADDRESS]] [--byte-order ORDER] [--] IMAGE\n"
           "       tarnel-cli --check [--lenient] [--format NAME [--base ADDRESS]]\n"
           "                  [--byte-order ORDER] [--] IMAGE\n"
           "       tarnel-cli (--all | -a SERIAL|PORT -a ...) [--report FILE] [--log FILE]\n"
           "                  [--format NAME [--base ADDRESS]] [--byte-order ORDER] [--] IMAGE\n"
           "       tarnel-cli -h | --help | -V | --version\n";
}

std::string CliUsage() {
    std::string text = CliSynopsis() +
                       "Programs IMAGE (@ records, Intel HEX, S-records, ELF, or raw binary with\n"
                       "--format bin) into the target's flash through the Dravin adapter, as\n"
                       "'tarnel -cc -p IMAGE' does, without a window; with --all or several "
                       "adapters, on every board\n"
                       "at once (a gang), one process per adapter.\n"
                       "\n"
                       "Options (-- ends them, so that an image name may start with -):\n" +
                       ToolOptionsHelp(kCliOptions) + "\n" + BootloaderPlacesHelp();
    text +=
        "\n"
        "Environment:\n"
        "  TARNEL_ADAPTER       the adapter to use, as --adapter chooses it\n"
        "  TARNEL_LOG           append one line per event to this file (-: stderr)\n"
        "  TARNEL_BOOTLOADER    the bootloader image to use, and no other\n"
#ifndef _WIN32
        "  TARNEL_DRIVER        the driver: libftdi or d2xx\n"
#endif
        "  TARNEL_D2XX_LIBRARY  the D2XX library to load in place of the system's\n"
        "  TARNEL_LENIENT_IMAGES  1: as --lenient\n"
        "\n"
        "Exit status:\n"
        "  0   programmed\n"
        "  1   debug-port or programming failure\n"
        "  2   file, adapter or driver failure\n"
        "  64  wrong command line\n"
#ifdef _WIN32
        "  130 stopped by Ctrl+C, Ctrl+Break or the console's close\n"
#else
        "  128+N  stopped by signal N (130 SIGINT, 143 SIGTERM, 129 SIGHUP)\n"
#endif
        "A gang: 0 every board programmed, 1 any failed, 2 no usable adapter or the\n"
        "image refused (nothing started), 130/143/129 stopped by Ctrl-C/SIGTERM/SIGHUP.\n";
    return text;
}

}  // namespace tarnel::cli

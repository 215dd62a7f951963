// The command line of tarnel-usb-emulator.

#include "usbemu/EmulatorOptions.h"

#include <charconv>
#include <string_view>

namespace tarnel::usbemu {
namespace {

std::optional<unsigned> Number(std::string_view text, unsigned low, unsigned high) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < low ||
        value > high) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

const char* const kEmulatorHelp = R"(Usage: tarnel-usb-emulator [options] -- command [arguments...]

Runs the command under umockdev with emulated programming adapters (USB ID 0403:F1A0,
a full-speed single-port serial chip) in place of the machine's USB devices, so that
libusb and libftdi1 in the command drive the emulated chips through the kernel's usbdevfs
interface. Behind each chip sit the simulated adapter and target of tarnel-sim: the bytes
the command writes are decoded exactly as there. Exits with the command's exit status
(128 + the signal when a signal ended it); SIGTERM and SIGINT are passed on to it.

Devices: the adapters sit on bus 1, ports 1-1, 1-2, ... (the serial converter of
--foreign-first takes port 1-1 and moves them up), with device numbers from 2 and
serial numbers EMU00001, EMU00002, ...

Options:
  --adapters=N          emulate N adapters, 1 to 8 (default 1)
  --foreign-first       a USB serial converter (0403:6001, nothing behind it) listed
                        before the adapters
  --serial-driver       the kernel's serial driver is bound to each adapter's interface
                        at the start: claiming fails until it is detached, and a connect
                        request binds it again
  --no-permission       the command may not open the device nodes (mode 000; run as root,
                        the command runs as the user nobody, so it and its files must lie
                        in a folder that every user may enter)
  --held-adapter=N      adapter N (1 for EMU00001) is held by another program: every
                        claim of its interface fails with EBUSY
  --unplug-at=N         the first adapter vanishes when its N-th bulk OUT transfer is
                        submitted (this and the next three count the first adapter's):
                        transfers in flight end with ESHUTDOWN, the node
                        reports POLLERR and a remove event follows
  --lose-answers-at=N   the answers to the N-th bulk OUT transfer and every later one
                        never reach the host (the target stops answering)
  --out-fails-at=N:HOW  the N-th bulk OUT transfer fails while the device stays: HOW is
                        stall (it ends with EPIPE, nothing taken), timeout (nothing
                        taken and it never completes, until the host gives it up) or
                        short (the chip takes the first half and completes it as done)
  --in-fails-after=N    the first bulk IN transfer to complete after the N-th bulk OUT
                        ends with EPROTO (a transaction error); the answers stay queued
  --fixed-latency=MS    the chip's latency timer stays MS, 1 to 255, whatever the host
                        sets (to see what another latency costs)
  --answer-delay=MS     time the adapter takes to answer a transfer, 0 to 1000 (default 2)
  --usb-trace=FILE      append the USB trace to FILE: one line per control request,
                        bulk transfer, claim, release and kernel-driver request
  --flash-dir=DIR       each adapter keeps its own flash in DIR/<serial>.rom (loaded at
                        the start when it exists, written at the end if the adapter was
                        opened), in place of TARNEL_SIM_FLASH
  --adapter-faults=N:FAULTS
                        target-side faults of adapter N (1 for EMU00001), in the syntax
                        of TARNEL_SIM_FAULTS, in place of that variable's faults
  --help                show this text

Bulk OUT transfers are counted over the whole run from 1; IN transfers are not counted,
as their number depends on timing.

USB trace: one line per event, fields separated by single spaces; <ms> is the time since
the emulator started, <status> 0 or a negative errno, bytes as contiguous upper-case hex
("-" for none), IN data with the two modem-status bytes that begin every 64-byte packet.
  <ms> <bus>/<dev> CONTROL <type> <request> <value> <index> <length> -> <status> <data>
  <ms> <bus>/<dev> OUT <bytes> -> <status>
  <ms> <bus>/<dev> IN <buffer length> -> <status> <bytes>
  <ms> <bus>/<dev> CLAIM|RELEASE|DETACH-DRIVER|ATTACH-DRIVER <interface> -> <status>
  # protocol error: <what the simulated adapter or target reports>
  # emulator: <note>; the last: command ended, status S, wall W s, cpu C s

Environment:
  TARNEL_SIM_FLASH      the flash file of the first adapter, as for tarnel-sim: loaded at
                        the start, written at the end if the adapter was opened
  TARNEL_SIM_FAULTS     target-side faults, as for tarnel-sim: silent-probe=N,
                        busy-polls=K, erase-busy, erase-error, page-error=P (the faults of
                        driver calls have the options above as their USB counterparts)
  TARNEL_SIM_* variables are not passed on to the command.

Exit status of the emulator itself: 64 for a usage error, 69 when it cannot set up (the
USB trace cannot be opened, umockdev refuses the devices) or umockdev's preload library
cannot be loaded into the command.
)";

std::optional<EmulatorOptions> ParseEmulatorOptions(int argc, char** argv, std::string* error) {
    EmulatorOptions options;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        const auto eq = arg.find('=');
        const std::string_view name = arg.substr(0, eq);
        const std::string_view value = eq == std::string_view::npos ? "" : arg.substr(eq + 1);
        const bool hasValue = eq != std::string_view::npos;
        const auto number = [&](unsigned low, unsigned high, unsigned& into) {
            const auto parsed = hasValue ? Number(value, low, high) : std::nullopt;
            if (parsed) {
                into = *parsed;
            }
            return parsed.has_value();
        };
        bool ok = true;
        if (name == "--help" && !hasValue) {
            options.help = true;
        } else if (name == "--foreign-first" && !hasValue) {
            options.foreignFirst = true;
        } else if (name == "--serial-driver" && !hasValue) {
            options.serialDriver = true;
        } else if (name == "--no-permission" && !hasValue) {
            options.noPermission = true;
        } else if (name == "--held-adapter") {
            ok = number(1, kMaxAdapters, options.heldAdapter);
        } else if (name == "--adapters") {
            ok = number(1, kMaxAdapters, options.adapters);
        } else if (name == "--unplug-at") {
            ok = number(1, 1'000'000'000, options.unplugAt);
        } else if (name == "--lose-answers-at") {
            ok = number(1, 1'000'000'000, options.loseAnswersAt);
        } else if (name == "--out-fails-at") {
            const auto colon = value.find(':');
            const std::string_view how =
                colon == std::string_view::npos ? "" : value.substr(colon + 1);
            const auto at = hasValue && colon != std::string_view::npos
                                ? Number(value.substr(0, colon), 1, 1'000'000'000)
                                : std::nullopt;
            ok = at.has_value() && (how == "stall" || how == "timeout" || how == "short");
            if (ok) {
                options.outFailsAt = *at;
                options.outFault = how == "stall"     ? OutFault::Stall
                                   : how == "timeout" ? OutFault::TimeOut
                                                      : OutFault::Short;
            }
        } else if (name == "--in-fails-after") {
            ok = number(1, 1'000'000'000, options.inFailsAfter);
        } else if (name == "--fixed-latency") {
            ok = number(1, 255, options.fixedLatencyMs);
        } else if (name == "--answer-delay") {
            ok = number(0, 1000, options.answerDelayMs);
        } else if (name == "--flash-dir") {
            options.flashDir = value;
            ok = hasValue && !value.empty();
        } else if (name == "--adapter-faults") {
            const auto colon = value.find(':');
            ok = hasValue && colon != std::string_view::npos &&
                 Number(value.substr(0, colon), 1, kMaxAdapters).has_value();
            if (ok) {
                options.faultyAdapter = *Number(value.substr(0, colon), 1, kMaxAdapters);
                options.adapterFaults = value.substr(colon + 1);
            }
        } else if (name == "--usb-trace") {
            options.usbTrace = value;
            ok = hasValue && !value.empty();
        } else {
            *error = "unknown option " + std::string(arg);
            return std::nullopt;
        }
        if (!ok) {
            *error = "option " + std::string(arg) + " needs a valid value";
            return std::nullopt;
        }
    }
    for (; i < argc; ++i) {
        options.command.emplace_back(argv[i]);
    }
    if (options.command.empty() && !options.help) {
        *error = "no command given (after --)";
        return std::nullopt;
    }
    return options;
}

}  // namespace tarnel::usbemu

// tarnel-usb-emulator: runs a command (the real tarnel) against emulated adapters at the
// kernel boundary, through umockdev. See kEmulatorHelp for what it offers.

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sim/Adapter.h"
#include "sim/Faults.h"
#include "sim/FlashFile.h"
#include "sim/ProtocolLog.h"
#include "sim/Target.h"
#include "usbemu/DeviceRecord.h"
#include "usbemu/EmulatorOptions.h"
#include "usbemu/UsbChip.h"
#include "usbemu/UsbTrace.h"
#include "usbemu/UsbfsDevice.h"

namespace tarnel::usbemu {
namespace {

constexpr int kUsageExit = 64;
constexpr int kUnavailableExit = 69;
constexpr const char* kPreloadLibrary = "libumockdev-preload.so.0";
// Beside the emulator: gives each command its own uevent socket (EventSocketPreload.cpp).
constexpr const char* kEventSocketLibrary = "libtarnel-usbemu-preload.so";

volatile sig_atomic_t commandPid = 0;

void PassSignalOn(int signal) {
    if (commandPid > 0) {
        ::kill(commandPid, signal);
    }
}

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// One emulated device with what sits behind it; the target-side models exist for adapters.
struct EmulatedDevice {
    DeviceLocation location;
    std::string name;
    sim::Faults faults;     // target-side faults of this adapter
    std::string flashPath;  // empty: the flash lives only in memory
    sim::ProtocolLog log;
    std::unique_ptr<sim::Target> target;
    std::unique_ptr<sim::Adapter> adapter;
    std::unique_ptr<UsbChip> chip;
    std::unique_ptr<UsbfsDevice> node;
    int ptyMaster = -1;
};

// Faults of TARNEL_SIM_FAULTS that belong to driver calls, which the emulator never sees.
bool HasCallFaults(const sim::Faults& f) {
    return f.noAdapter || f.foreignFirst || f.openFails || f.writeError != 0 || f.shortWrite != 0 ||
           f.shortRead != 0 || f.readError != 0 || f.stopSignalAt != 0;
}

class Emulator {
public:
    Emulator(const EmulatorOptions& options, const sim::Faults& faults,
             const sim::Faults& adapterFaults)
        : options_(options),
          faults_(faults),
          adapterFaults_(adapterFaults),
          trace_(options.usbTrace, Clock::now()) {
        transferFaults_.unplugAt = options.unplugAt;
        transferFaults_.loseAnswersAt = options.loseAnswersAt;
        transferFaults_.outFailsAt = options.outFailsAt;
        transferFaults_.outFault = options.outFault;
        transferFaults_.inFailsAfter = options.inFailsAfter;
    }

    ~Emulator() {
        // The testbed first: it stops serving the nodes before their handlers go.
        if (testbed_ != nullptr) {
            g_object_unref(testbed_);
        }
        for (auto& device : devices_) {
            if (device->ptyMaster >= 0) {
                ::close(device->ptyMaster);
            }
        }
    }

    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    bool SetUp(std::string* error);
    int Run();

private:
    EmulatedDevice& AddDevice(unsigned port, const ChipIdentity& identity, bool adapter,
                              const sim::Faults& faults = {});
    bool Attach(EmulatedDevice& device, std::string* error);
    bool PreloadWorks();
    bool OpenUpTestbed(std::string* error);
    std::vector<std::string> CommandEnvironment(bool eventSockets) const;
    pid_t Start(const std::vector<std::string>& argv, bool asCommand);
    void Unplug(EmulatedDevice& device);
    void Finish(int status, const rusage& usage, double wallSeconds);

    const EmulatorOptions& options_;
    const sim::Faults& faults_;
    const sim::Faults& adapterFaults_;  // those of options_.faultyAdapter
    UsbTrace trace_;
    TransferFaults transferFaults_;
    UMockdevTestbed* testbed_ = nullptr;
    std::string root_;
    std::string eventSocketLibrary_;
    std::vector<std::unique_ptr<EmulatedDevice>> devices_;
    EmulatedDevice* firstAdapter_ = nullptr;
    unsigned adaptersAdded_ = 0;
    bool dropPrivileges_ = false;
    uid_t nobodyUid_ = 0;
    gid_t nobodyGid_ = 0;
};

EmulatedDevice& Emulator::AddDevice(unsigned port, const ChipIdentity& identity, bool adapter,
                                    const sim::Faults& faults) {
    auto device = std::make_unique<EmulatedDevice>();
    device->location = {.bus = 1, .port = port, .number = port + 1};
    device->name = DeviceName(device->location);
    device->faults = faults;
    if (adapter) {
        device->target = std::make_unique<sim::Target>(device->faults, device->log);
        device->adapter =
            std::make_unique<sim::Adapter>(device->faults, device->log, *device->target);
    }
    device->chip = std::make_unique<UsbChip>(identity, device->adapter.get(),
                                             std::chrono::milliseconds(options_.answerDelayMs));
    if (options_.fixedLatencyMs != 0) {
        device->chip->FixLatency(static_cast<std::uint8_t>(options_.fixedLatencyMs));
    }
    UsbfsDeviceSetup setup;
    setup.name = device->name;
    setup.serialDriverBound = adapter && options_.serialDriver;
    adaptersAdded_ += adapter ? 1 : 0;
    setup.heldByOther = adapter && adaptersAdded_ == options_.heldAdapter;
    setup.log = adapter ? &device->log : nullptr;
    // The transfer faults count the first adapter's transfers only: with several adapters
    // at work at once, a shared count would hit whichever came first.
    const bool first = adapter && firstAdapter_ == nullptr;
    setup.faults = first ? &transferFaults_ : nullptr;
    EmulatedDevice* raw = device.get();
    const bool unplugs = first && options_.unplugAt != 0;
    if (unplugs) {
        setup.onUnplug = [this, raw] { Unplug(*raw); };
    }
    device->node = std::make_unique<UsbfsDevice>(std::move(setup), *device->chip, trace_);
    if (first) {
        firstAdapter_ = raw;
    }
    devices_.push_back(std::move(device));
    return *raw;
}

bool Emulator::SetUp(std::string* error) {
    if (trace_.Failed()) {
        *error = "cannot open the USB trace " + options_.usbTrace;
        return false;
    }
    if (options_.noPermission && ::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        if (nobody == nullptr) {
            *error = "--no-permission as root needs the user nobody";
            return false;
        }
        dropPrivileges_ = true;
        nobodyUid_ = nobody->pw_uid;
        nobodyGid_ = nobody->pw_gid;
    }
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    eventSocketLibrary_ = (self.parent_path() / kEventSocketLibrary).string();
    if (ec || ::access(eventSocketLibrary_.c_str(), R_OK) != 0) {
        *error = std::string("cannot find ") + kEventSocketLibrary + " beside the emulator";
        return false;
    }
    testbed_ = umockdev_testbed_new();
    if (testbed_ == nullptr) {
        *error = "umockdev cannot create a testbed";
        return false;
    }
    char* root = umockdev_testbed_get_root_dir(testbed_);
    root_ = root;
    g_free(root);

    unsigned port = 1;
    if (options_.foreignFirst) {
        AddDevice(port++,
                  {kSerialConverterProductId, "Emulated", "USB serial converter", "SER00001"},
                  false);
    }
    for (unsigned i = 1; i <= options_.adapters; ++i) {
        char serial[16];
        std::snprintf(serial, sizeof serial, "EMU%05u", i);
        EmulatedDevice& device =
            AddDevice(port++, {kAdapterProductId, "Emulated", "Dravin", serial}, true,
                      i == options_.faultyAdapter ? adapterFaults_ : faults_);
        if (!options_.flashDir.empty()) {
            device.flashPath = options_.flashDir + "/" + serial + ".rom";
        } else if (i == 1) {
            device.flashPath = Variable("TARNEL_SIM_FLASH");
        }
    }
    // Added in the reverse order of their ports, so that a tool that keeps the order of
    // the listing instead of sorting by port shows it.
    for (auto it = devices_.rbegin(); it != devices_.rend(); ++it) {
        if (!Attach(**it, error)) {
            return false;
        }
    }
    if (options_.noPermission && !OpenUpTestbed(error)) {
        return false;
    }
    for (const auto& device : devices_) {
        if (!device->flashPath.empty() &&
            sim::LoadFlashFile(device->flashPath, device->target->Flash()) ==
                sim::FlashLoad::Unreadable) {
            std::fprintf(stderr, "tarnel-usb-emulator: cannot read the flash file %s\n",
                         device->flashPath.c_str());
        }
    }
    return true;
}

// The device node becomes a pty slave, so that closing the master makes poll report
// POLLERR as an unplugged device does; it is the node the ioctls are served on.
bool Emulator::Attach(EmulatedDevice& device, std::string* error) {
    GError* gerror = nullptr;
    const std::string node = device.node->NodePath();
    if (!umockdev_testbed_attach_ioctl(testbed_, node.c_str(), device.node->Handler(), &gerror) ||
        !umockdev_testbed_add_from_string(
            testbed_, DeviceRecord(device.location, device.chip->Identity()).c_str(), &gerror)) {
        *error = std::string("umockdev refused device ") + device.name + ": " +
                 (gerror != nullptr ? gerror->message : "unknown reason");
        g_clear_error(&gerror);
        return false;
    }
    device.ptyMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    const char* slave = device.ptyMaster >= 0 && ::grantpt(device.ptyMaster) == 0 &&
                                ::unlockpt(device.ptyMaster) == 0
                            ? ::ptsname(device.ptyMaster)
                            : nullptr;
    const std::string path = root_ + node;
    if (slave == nullptr || ::unlink(path.c_str()) != 0 || ::symlink(slave, path.c_str()) != 0 ||
        (options_.noPermission && ::chmod(slave, 0) != 0)) {
        *error = "cannot put a pty behind " + node + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// The command runs as nobody: it must reach the testbed's files and ioctl sockets, and
// only the device nodes stay closed to it.
bool Emulator::OpenUpTestbed(std::string* error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto open = fs::perms::owner_all | fs::perms::group_all | fs::perms::others_all;
    for (auto it = fs::recursive_directory_iterator(root_, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        if (it->is_symlink()) {
            continue;
        }
        const bool dir = it->is_directory();
        fs::permissions(it->path(),
                        dir ? open
                            : fs::perms::owner_read | fs::perms::owner_write |
                                  fs::perms::group_read | fs::perms::group_write |
                                  fs::perms::others_read | fs::perms::others_write,
                        fs::perm_options::add, ec);
    }
    if (!ec) {
        fs::permissions(root_, open | fs::perms::sticky_bit, ec);
    }
    if (ec) {
        *error = "cannot open the testbed up to the command: " + ec.message();
        return false;
    }
    return true;
}

// `eventSockets`: with the library that keeps the uevent sockets of commands started side
// by side apart. A command run as nobody goes without it, since nobody may not be allowed
// to read the emulator's folder; it runs alone.
std::vector<std::string> Emulator::CommandEnvironment(bool eventSockets) const {
    std::vector<std::string> env;
    std::string preload = kPreloadLibrary;
    if (eventSockets) {
        preload.insert(0, eventSocketLibrary_ + " ");
    }
    std::string asan = "verify_asan_link_order=0";
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (text.rfind("TARNEL_SIM_", 0) == 0) {
            continue;
        }
        if (text.rfind("LD_PRELOAD=", 0) == 0) {
            preload += " " + text.substr(11);
        } else if (text.rfind("ASAN_OPTIONS=", 0) == 0) {
            // umockdev's library comes before the sanitizer's runtime in the load order.
            asan.insert(0, text.substr(13) + ":");
        } else {
            env.push_back(text);
        }
    }
    env.push_back("LD_PRELOAD=" + preload);
    env.push_back("ASAN_OPTIONS=" + asan);
    return env;
}

pid_t Emulator::Start(const std::vector<std::string>& argv, bool asCommand) {
    const bool drop = asCommand && dropPrivileges_;
    std::vector<std::string> env = CommandEnvironment(!drop);
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    std::vector<char*> envp;
    envp.reserve(env.size() + 1);
    for (std::string& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    // A command run as nobody from a folder that only its owner may enter (a private home
    // folder, a build folder under one) could not even be started; say so rather than
    // leave a bare exit status.
    const bool checkReach = drop && argv[0].find('/') != std::string::npos;
    const std::string unreachable = "tarnel-usb-emulator: the user nobody may not run " + argv[0] +
                                    ": with --no-permission the command must lie in a folder "
                                    "that every user may enter\n";
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here to the exec.
        if (drop && (::setgroups(0, nullptr) != 0 || ::setgid(nobodyGid_) != 0 ||
                     ::setuid(nobodyUid_) != 0)) {
            ::_exit(126);
        }
        if (checkReach && ::access(args[0], X_OK) != 0) {
            [[maybe_unused]] const ssize_t written =
                ::write(STDERR_FILENO, unreachable.data(), unreachable.size());
            ::_exit(126);
        }
        // The command never outlives the emulator, also when the emulator is killed.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(126);
        }
        ::execvpe(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    return pid;
}

// umockdev only works when its library is loaded into the command; a command that runs
// without it would see the machine's own devices. A shell started the same way proves it.
bool Emulator::PreloadWorks() {
    const pid_t pid = Start({"/bin/sh", "-c", std::string("test -d ") + kSysfsParent}, false);
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

void Emulator::Unplug(EmulatedDevice& device) {
    if (device.ptyMaster >= 0) {
        ::close(device.ptyMaster);
        device.ptyMaster = -1;
    }
    char* sysfs = g_strdup_printf("%s/usb%u/%u-%u", kSysfsParent, device.location.bus,
                                  device.location.bus, device.location.port);
    umockdev_testbed_uevent(testbed_, sysfs, "remove");
    umockdev_testbed_remove_device(testbed_, sysfs);
    g_free(sysfs);
}

int Emulator::Run() {
    if (!PreloadWorks()) {
        std::fprintf(stderr,
                     "tarnel-usb-emulator: umockdev's preload library %s cannot be loaded into "
                     "the command (is the umockdev package installed, and is LD_PRELOAD "
                     "allowed here?)\n",
                     kPreloadLibrary);
        return kUnavailableExit;
    }
    struct sigaction action {};
    action.sa_handler = PassSignalOn;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
    const Clock::time_point started = Clock::now();
    const pid_t pid = Start(options_.command, true);
    if (pid < 0) {
        std::fprintf(stderr, "tarnel-usb-emulator: cannot start the command: %s\n",
                     std::strerror(errno));
        return kUnavailableExit;
    }
    commandPid = pid;
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    commandPid = 0;
    const double wall = std::chrono::duration<double>(Clock::now() - started).count();
    Finish(status, usage, wall);
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
        std::fprintf(stderr, "tarnel-usb-emulator: cannot run %s\n", options_.command[0].c_str());
    }
    return WEXITSTATUS(status);
}

void Emulator::Finish(int status, const rusage& usage, double wallSeconds) {
    // A reap held back when the command ended is answered within kMaxReapHoldMs; the
    // devices must not go before it is.
    for (int waited = 0; waited < 4 * kMaxReapHoldMs; ++waited) {
        if (std::all_of(devices_.begin(), devices_.end(),
                        [](const auto& device) { return device->node->Idle(); })) {
            break;
        }
        ::usleep(1000);
    }
    for (auto& device : devices_) {
        if (device->node->Claimed()) {
            trace_.Comment("emulator: " + device->name + " still claimed when the command ended");
        }
        if (options_.serialDriver && device->adapter && !device->node->SerialDriverBound()) {
            trace_.Comment("emulator: " + device->name +
                           " left without its serial driver when the command ended");
        }
    }
    for (const auto& device : devices_) {
        if (!device->flashPath.empty() && device->node->EverClaimed() &&
            !sim::SaveFlashFile(device->flashPath, device->target->Flash())) {
            std::fprintf(stderr, "tarnel-usb-emulator: cannot write the flash file %s\n",
                         device->flashPath.c_str());
        }
    }
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    char line[160];
    std::snprintf(line, sizeof line, "emulator: command ended, status %d, wall %.3f s, cpu %.3f s",
                  WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), wallSeconds,
                  seconds(usage.ru_utime) + seconds(usage.ru_stime));
    trace_.Comment(line);
}

}  // namespace
}  // namespace tarnel::usbemu

int main(int argc, char** argv) {
    using namespace tarnel;
    std::string error;
    const auto options = usbemu::ParseEmulatorOptions(argc, argv, &error);
    if (!options) {
        std::fprintf(stderr, "tarnel-usb-emulator: %s (see --help)\n", error.c_str());
        return usbemu::kUsageExit;
    }
    if (options->help) {
        std::fputs(usbemu::kEmulatorHelp, stdout);
        return 0;
    }
    const auto faults = sim::ParseFaults(usbemu::Variable("TARNEL_SIM_FAULTS"), &error);
    if (!faults) {
        std::fprintf(stderr, "tarnel-usb-emulator: TARNEL_SIM_FAULTS: %s\n", error.c_str());
        return usbemu::kUsageExit;
    }
    if (usbemu::HasCallFaults(*faults)) {
        std::fprintf(stderr,
                     "tarnel-usb-emulator: TARNEL_SIM_FAULTS names faults of driver calls, "
                     "which the emulator does not see; use its options instead\n");
        return usbemu::kUsageExit;
    }
    // umockdev sends uevents only from a process that runs under its own library, so an
    // emulator that will unplug a device starts itself again under it. The library passes
    // every path through until the testbed exists.
    const std::string preload = usbemu::Variable("LD_PRELOAD");
    if (options->unplugAt != 0 && preload.find(usbemu::kPreloadLibrary) == std::string::npos) {
        const std::string asan = usbemu::Variable("ASAN_OPTIONS");
        ::setenv("LD_PRELOAD", (std::string(usbemu::kPreloadLibrary) + " " + preload).c_str(), 1);
        ::setenv("ASAN_OPTIONS", (asan + ":verify_asan_link_order=0").c_str(), 1);
        ::execv("/proc/self/exe", argv);
        std::fprintf(stderr, "tarnel-usb-emulator: cannot start itself under %s: %s\n",
                     usbemu::kPreloadLibrary, std::strerror(errno));
        return usbemu::kUnavailableExit;
    }
    // Timer slack of 1 ns, inherited by the command: umockdev's library pauses after every
    // ioctl, and the default slack makes each pause cost some 50 microseconds.
    ::prctl(PR_SET_TIMERSLACK, 1UL);
    const auto adapterFaults = sim::ParseFaults(options->adapterFaults, &error);
    if (!adapterFaults || usbemu::HasCallFaults(*adapterFaults)) {
        std::fprintf(stderr, "tarnel-usb-emulator: --adapter-faults: %s\n",
                     adapterFaults ? "faults of driver calls are not seen here" : error.c_str());
        return usbemu::kUsageExit;
    }
    usbemu::Emulator emulator(*options, *faults, *adapterFaults);
    if (!emulator.SetUp(&error)) {
        std::fprintf(stderr, "tarnel-usb-emulator: %s\n", error.c_str());
        return usbemu::kUnavailableExit;
    }
    return emulator.Run();
}

// libtarnel-usbemu-preload.so: loaded into every command the emulator runs, ahead of
// umockdev's library, so that commands started side by side each get their own uevent
// socket.
//
// umockdev turns libudev's netlink monitor into a Unix socket and binds it to
// "<testbed>/event<descriptor>", unlinking that name first. Two processes that open their
// monitor under the same descriptor number at the same moment therefore race for one name:
// both unlink, one binds, and the other's bind fails with EADDRINUSE, so libusb cannot
// start and the tool reports no adapter although it is there. (A later process may also
// take an earlier one's name away, and with it the uevents meant for it.)
//
// Here such a monitor is bound to "<testbed>/event<pid>-<descriptor>" instead, a name no
// other live process uses. umockdev sends each uevent to every "event[0-9]*" socket of the
// testbed, so the monitor still receives them. Any other bind passes through unchanged.

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

using BindFunction = int (*)(int, const sockaddr*, socklen_t);

// The C library's own bind: the next one in the search order is umockdev's, which would
// put its own name back for a socket it wrapped.
BindFunction LibcBind() {
    void* libc = ::dlopen("libc.so.6", RTLD_LAZY | RTLD_NOLOAD);
    return libc != nullptr ? reinterpret_cast<BindFunction>(::dlsym(libc, "bind")) : nullptr;
}

// Whether `fd`, which its caller binds as a netlink socket, is really one of umockdev's
// Unix sockets.
bool IsWrappedMonitor(int fd, const sockaddr* address) {
    if (address == nullptr || address->sa_family != AF_NETLINK) {
        return false;
    }
    int domain = 0;
    socklen_t size = sizeof domain;
    return ::getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &size) == 0 && domain == AF_UNIX;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int bind(int fd, const sockaddr* address,
                                                           socklen_t length) {
    static const auto next = reinterpret_cast<BindFunction>(::dlsym(RTLD_NEXT, "bind"));
    static const BindFunction libc = LibcBind();
    const char* testbed = std::getenv("UMOCKDEV_DIR");
    if (testbed != nullptr && libc != nullptr && IsWrappedMonitor(fd, address)) {
        sockaddr_un own{};
        own.sun_family = AF_UNIX;
        const int size = std::snprintf(own.sun_path, sizeof own.sun_path, "%s/event%d-%d", testbed,
                                       static_cast<int>(::getpid()), fd);
        if (size > 0 && static_cast<std::size_t>(size) < sizeof own.sun_path) {
            // A name left behind by an ended process that had the same id.
            ::unlink(own.sun_path);
            return libc(fd, reinterpret_cast<const sockaddr*>(&own), sizeof own);
        }
    }
    if (next == nullptr) {
        return -1;
    }
    return next(fd, address, length);
}

// The emulator's USB trace file.

#include "usbemu/UsbTrace.h"

#include <cstdio>

namespace tarnel::usbemu {

UsbTrace::UsbTrace(const std::string& path, Clock::time_point start) : start_(start) {
    if (!path.empty()) {
        file_.open(path, std::ios::app);
        failed_ = !file_.is_open();
    }
}

void UsbTrace::Line(const std::string& device, const std::string& text) {
    const std::lock_guard lock(mutex_);
    if (!file_.is_open()) {
        return;
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start_).count();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%.3f ", ms);
    file_ << stamp << device << ' ' << text << std::endl;
}

void UsbTrace::Comment(const std::string& text) {
    const std::lock_guard lock(mutex_);
    if (file_.is_open()) {
        file_ << "# " << text << std::endl;
    }
}

}  // namespace tarnel::usbemu

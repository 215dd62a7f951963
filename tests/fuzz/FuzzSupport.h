#pragma once
// Shared pieces of the fuzz targets: a failing check, guarded buffers, a scratch file, and the
// text that a text-mode stream delivers.

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// A violated invariant: report it and abort, which libFuzzer records as a crash.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

namespace tarnel::fuzz {

// Reads the fuzz input front to back: small numbers first, then the rest as text.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::string Take(std::size_t n) {
        n = n < size_ - at_ ? n : size_ - at_;
        std::string s(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return s;
    }
    std::string Rest() { return Take(size_ - at_); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// A buffer of T with guard elements on both sides that must never change.
template <class T>
class Guarded {
public:
    static constexpr std::size_t kGuard = 16;
    Guarded(std::size_t size, T fill, T guard)
        : size_(size), guard_(guard), all_(size + 2 * kGuard, guard) {
        for (std::size_t i = 0; i < size; ++i) {
            all_[kGuard + i] = fill;
        }
    }
    T* Data() { return all_.data() + kGuard; }
    const T* Data() const { return all_.data() + kGuard; }
    std::size_t Size() const { return size_; }
    void CheckGuards() const {
        for (std::size_t i = 0; i < kGuard; ++i) {
            FUZZ_CHECK(all_[i] == guard_);
            FUZZ_CHECK(all_[kGuard + size_ + i] == guard_);
        }
    }

private:
    std::size_t size_;
    T guard_;
    std::vector<T> all_;
};

// One scratch file per process, rewritten for every input. Its name is removed at once, so
// nothing is left behind however the process ends; it is opened again through /proc.
class ScratchFile {
public:
    static ScratchFile& Get() {
        static ScratchFile file;
        return file;
    }
    const std::string& Write(const std::string& bytes) {
        FUZZ_CHECK(::ftruncate(fd_, 0) == 0);
        FUZZ_CHECK(::pwrite(fd_, bytes.data(), bytes.size(), 0) ==
                   static_cast<ssize_t>(bytes.size()));
        return path_;
    }

private:
    ScratchFile() {
        const char* dir = std::getenv("TMPDIR");
        std::string name =
            std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/tarnel-fuzz-XXXXXX";
        fd_ = ::mkstemp(name.data());
        FUZZ_CHECK(fd_ >= 0);
        ::unlink(name.c_str());
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    std::string path_;
    int fd_ = -1;
};

// What a text-mode stream delivers from raw bytes: no carriage returns, nothing from the
// first Ctrl-Z on.
inline std::string TextView(const std::string& raw) {
    std::string seen;
    for (char c : raw) {
        if (c == '\x1a') {
            break;
        }
        if (c != '\r') {
            seen.push_back(c);
        }
    }
    return seen;
}

}  // namespace tarnel::fuzz

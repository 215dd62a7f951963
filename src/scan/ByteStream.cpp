#include "scan/ByteStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>

#include <filesystem>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

namespace tarnel {

namespace {
constexpr unsigned char kCr = 0x0D;
constexpr unsigned char kCtrlZ = 0x1A;

#ifdef _WIN32
// Binary mode: the reader applies its own rules for CR and Ctrl-Z, and the C library's
// text mode would hand back fewer bytes than it consumes.
constexpr int kOpenFlags = O_RDONLY | O_BINARY | O_NOINHERIT;
constexpr int kNoWaitFlags = 0;
#else
constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC;
// Opening a FIFO without a writer would wait for one; a regular file ignores the flag.
constexpr int kNoWaitFlags = O_NONBLOCK;
#endif

// FailFileReadsAt: the offset at which file reads fail, -1 for never, and their error.
std::atomic<std::int64_t> failReadsAt{-1};
std::atomic<int> failReadsWith{0};

// Reads up to `count` bytes at offset `at`; the byte count, 0 at the end, or -1.
std::int64_t ReadAt(int fd, void* into, std::size_t count, std::int64_t at) {
#ifdef _WIN32
    // No pread: every read of a seekable file names its offset, so moving the position
    // first is equivalent here.
    if (::_lseeki64(fd, at, SEEK_SET) < 0) {
        return -1;
    }
    return ::_read(fd, into, static_cast<unsigned>(std::min<std::size_t>(count, INT_MAX)));
#else
    return ::pread(fd, into, count, at);
#endif
}

// Paths are UTF-8 on Windows, as the executable's own path is; opened wide. Retries an
// open that a signal interrupted.
int OpenFile(const std::string& path, int flags) {
    int fd;
    do {
#ifdef _WIN32
        try {
            const std::u8string utf8(path.begin(), path.end());
            fd = ::_wopen(std::filesystem::path(utf8).c_str(), flags);
        } catch (const std::exception&) {  // not valid UTF-8: no such file
            errno = ENOENT;
            return -1;
        }
#else
        fd = ::open(path.c_str(), flags);
#endif
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// What a file of this kind is, for a refusal: "a FIFO", "a directory", ...
const char* KindOf(const struct stat& st) {
    if (S_ISDIR(st.st_mode)) {
        return "a directory";
    }
#ifdef S_ISFIFO
    if (S_ISFIFO(st.st_mode)) {
        return "a FIFO";
    }
#endif
    if (S_ISCHR(st.st_mode)) {
        return "a character device";
    }
#ifdef S_ISBLK
    if (S_ISBLK(st.st_mode)) {
        return "a block device";
    }
#endif
#ifdef S_ISSOCK
    if (S_ISSOCK(st.st_mode)) {
        return "a socket";
    }
#endif
    return "not a file";
}

std::int64_t ReadNext(int fd, void* into, std::size_t count) {
#ifdef _WIN32
    return ::_read(fd, into, static_cast<unsigned>(std::min<std::size_t>(count, INT_MAX)));
#else
    return ::read(fd, into, count);
#endif
}

const unsigned char* FindOrEnd(const unsigned char* from, const unsigned char* end,
                               unsigned char byte) {
    if (from >= end) {
        return end;
    }
    const void* hit = std::memchr(from, byte, static_cast<std::size_t>(end - from));
    return hit != nullptr ? static_cast<const unsigned char*>(hit) : end;
}
}  // namespace

ByteStream::~ByteStream() {
    Close();
}

bool ByteStream::Open(const std::string& path, StreamMode mode, std::size_t bufferSize) {
    Close();
    const int fd = OpenFile(path, kOpenFlags);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int reason = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        errno = reason;  // the caller may tell why
        return false;
    }
    return OpenDescriptor(fd, mode, bufferSize);
}

std::string ByteStream::OpenRegularFile(const std::string& path, StreamMode mode) {
    Close();
    const int fd = OpenFile(path, kOpenFlags | kNoWaitFlags);
    if (fd < 0) {
        return std::strerror(errno);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int reason = errno;
        ::close(fd);
        return std::strerror(reason);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::string("is ") + KindOf(st) + ", not a regular file";
    }
    OpenDescriptor(fd, mode, kDefaultBufferSize);
    return {};
}

bool ByteStream::OpenDescriptor(int fd, StreamMode mode, std::size_t bufferSize) {
    if (bufferSize == 0) {
        bufferSize = 1;
    }
    if (capacity_ != bufferSize) {
        storage_ = std::make_unique_for_overwrite<unsigned char[]>(bufferSize);
        capacity_ = bufferSize;
    }
    fd_ = fd;
    seekable_ = ::lseek(fd, 0, SEEK_CUR) >= 0;
    text_ = mode == StreamMode::Text;
    open_ = true;
    buf_ = cur_ = end_ = lim_ = storage_.get();
    bufPos_ = 0;
    return true;
}

void ByteStream::OpenMemory(const void* data, std::size_t size, StreamMode mode) {
    Close();
    data_ = static_cast<const unsigned char*>(data);
    size_ = data_ != nullptr ? size : 0;
    seekable_ = true;
    text_ = mode == StreamMode::Text;
    open_ = true;
    buf_ = cur_ = end_ = lim_ = data_;
    bufPos_ = 0;
}

void ByteStream::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    open_ = eof_ = error_ = seekable_ = inSlot_ = scanValid_ = false;
    errorNumber_ = 0;
    data_ = nullptr;
    size_ = 0;
    buf_ = cur_ = end_ = lim_ = nullptr;
    bufPos_ = 0;
}

// Loads the window that follows the current one. False at the end of the input or on a
// read error; the current window then stays as it was, so a push-back still works.
bool ByteStream::Refill() {
    if (!open_) {
        return false;
    }
    const std::int64_t next = bufPos_ + (end_ - buf_);
    if (fd_ < 0) {
        if (next >= static_cast<std::int64_t>(size_)) {
            return false;
        }
        buf_ = cur_ = data_ + next;
        end_ = data_ + size_;
    } else {
        unsigned char* dst = storage_.get();
        std::size_t count = capacity_;
        const std::int64_t failAt = failReadsAt.load();
        if (failAt >= 0 && next + static_cast<std::int64_t>(count) > failAt) {
            count = static_cast<std::size_t>(std::max<std::int64_t>(failAt - next, 0));
        }
        std::int64_t got;
        if (count == 0) {
            got = -1;
            errno = failReadsWith.load();
        } else {
            do {
                got = seekable_ ? ReadAt(fd_, dst, count, next) : ReadNext(fd_, dst, count);
            } while (got < 0 && errno == EINTR);
        }
        if (got <= 0) {
            if (got < 0) {
                error_ = true;
                errorNumber_ = errno;
            }
            return false;
        }
        buf_ = cur_ = dst;
        end_ = dst + got;
    }
    bufPos_ = next;
    scanValid_ = false;
    return true;
}

int ByteStream::Underflow() {
    for (;;) {
        if (inSlot_) {
            if (cur_ == &slot_) {
                lim_ = &slot_ + 1;
                return *cur_++;
            }
            inSlot_ = false;
            cur_ = savedCur_;
        }
        if (cur_ < end_) {
            if (!text_) {
                lim_ = end_;
                return *cur_++;
            }
            if (!scanValid_ || cur_ > nextCr_ || cur_ > nextSub_) {
                nextCr_ = FindOrEnd(cur_, end_, kCr);
                nextSub_ = FindOrEnd(cur_, end_, kCtrlZ);
                scanValid_ = true;
            }
            if (cur_ == nextSub_) {
                break;  // Ctrl-Z: the end of the input, wherever the file goes on
            }
            if (cur_ == nextCr_) {
                ++cur_;
                nextCr_ = FindOrEnd(cur_, end_, kCr);
                continue;
            }
            lim_ = nextCr_ < nextSub_ ? nextCr_ : nextSub_;
            return *cur_++;
        }
        if (!Refill()) {
            break;
        }
    }
    lim_ = cur_;
    eof_ = true;
    return -1;
}

// A push-back that cannot step back in the window: -1, a character other than the one just
// read, or one read from the slot.
void ByteStream::UngetOther(int c) {
    if (c < 0 || !open_) {
        return;
    }
    const auto byte = static_cast<unsigned char>(c);
    eof_ = false;
    if (inSlot_ && cur_ > &slot_ && slot_ == byte) {
        --cur_;  // the slot's character, read and pushed back again
        return;
    }
    if (!inSlot_) {
        savedCur_ = cur_;
        inSlot_ = true;
    }
    slot_ = byte;
    cur_ = &slot_;
    lim_ = cur_;  // Underflow serves the slot and then returns to savedCur_
}

// The offset of the next character delivered from window position p.
std::int64_t ByteStream::TellAt(const unsigned char* p) const {
    std::int64_t extra = 0;
    if (text_) {
        while (p < end_ && *p == kCr) {
            ++p;
        }
        if (p == end_) {
            extra = CarriageReturnsAfterBuffer();
        }
    }
    return bufPos_ + (p - buf_) + extra;
}

// Text mode: how many carriage returns follow the current window directly in the input.
// A file is read at its offset into a small buffer of its own; the window is left alone.
std::int64_t ByteStream::CarriageReturnsAfterBuffer() const {
    std::int64_t count = 0;
    std::int64_t at = bufPos_ + (end_ - buf_);
    if (fd_ < 0) {
        while (at + count < static_cast<std::int64_t>(size_) && data_[at + count] == kCr) {
            ++count;
        }
        return count;
    }
    unsigned char chunk[512];
    for (;;) {
        std::int64_t got;
        do {
            got = ReadAt(fd_, chunk, sizeof chunk, at);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
            return count;
        }
        for (std::int64_t i = 0; i < got; ++i) {
            if (chunk[i] != kCr) {
                return count + i;
            }
        }
        count += got;
        at += got;
    }
}

std::int64_t ByteStream::Tell() const {
    if (!open_ || !seekable_) {
        return -1;
    }
    if (inSlot_) {
        const std::int64_t after = TellAt(savedCur_);
        if (cur_ == &slot_) {
            return after > 0 ? after - 1 : 0;
        }
        return after;
    }
    return TellAt(cur_);
}

int ByteStream::Seek(std::int64_t offset) {
    if (!open_ || !seekable_ || offset < 0) {
        return -1;
    }
    inSlot_ = false;
    eof_ = false;
    if (offset >= bufPos_ && offset <= bufPos_ + (end_ - buf_)) {
        cur_ = buf_ + (offset - bufPos_);
    } else {
        // An empty window at offset: the next Get loads from there.
        bufPos_ = offset;
        cur_ = end_ = buf_;
    }
    lim_ = cur_;
    scanValid_ = false;
    return 0;
}

void ByteStream::Rewind() {
    Seek(0);
    error_ = false;
    errorNumber_ = 0;
}

void FailFileReadsAt(std::int64_t offset, int error) {
    failReadsWith = error;
    failReadsAt = offset;
}

}  // namespace tarnel

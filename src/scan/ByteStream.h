#pragma once
// A buffered input stream of bytes, read one character at a time from a buffer of its own.
//
// Characters are 0 to 255; -1 is the end of the input. One character read can be pushed
// back (pushing back -1 does nothing). The end-of-file indicator is set when a read meets
// the end and cleared by a push-back, a seek or a rewind.
//
// Binary mode passes every byte. Text mode behaves the same on every platform: every
// carriage return (0x0D) is dropped before a reader sees it, and a byte 0x1A (Ctrl-Z) ends
// the input as the end of the file would.
//
// Positions (Tell, Seek) are byte offsets from the start of the file or memory block. In text
// mode Tell gives the offset of the next character that Get would deliver, so carriage
// returns in front of it count as already passed; any two positions read while moving
// forward compare in the order of the characters delivered.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tarnel {

enum class StreamMode { Binary, Text };

class ByteStream {
public:
    static constexpr std::size_t kDefaultBufferSize = 64 * 1024;

    ByteStream() = default;
    ~ByteStream();
    ByteStream(const ByteStream&) = delete;
    ByteStream& operator=(const ByteStream&) = delete;

    // Opens a file for reading; false when it cannot be opened (or names a directory),
    // with errno telling why.
    // bufferSize (at least 1) exists so that tests can force refills at every byte.
    bool Open(const std::string& path, StreamMode mode,
              std::size_t bufferSize = kDefaultBufferSize);
    // Opens a file that must be a regular file, without ever waiting: a FIFO without a
    // writer, a device or a directory is refused at once. Returns an empty string when it
    // is open, else the reason ("is a FIFO, not a regular file", or the system's reason).
    std::string OpenRegularFile(const std::string& path, StreamMode mode);
    // Reads from a block of memory that the caller keeps alive and unchanged until Close.
    void OpenMemory(const void* data, std::size_t size, StreamMode mode);
    void Close();
    bool IsOpen() const { return open_; }

    // The next character, 0 to 255, or -1 at the end of the input (which sets Eof).
    int Get() {
        if (cur_ < lim_) {
            return *cur_++;
        }
        return Underflow();
    }

    // Pushes c back so that the next Get returns it; -1 does nothing.
    void Unget(int c) {
        if (c >= 0 && !inSlot_ && cur_ > buf_ && cur_[-1] == c) {
            --cur_;  // the character just read: step back over it
            eof_ = false;
            return;
        }
        UngetOther(c);
    }

    bool Eof() const { return eof_; }
    // A read of the file failed; the input ended there, as at the end of the file.
    bool Error() const { return error_; }
    // The system's error number of that failed read (0 when none failed).
    int ErrorNumber() const { return errorNumber_; }

    // Position of the next character, or -1 when the stream cannot tell (closed, or not
    // seekable like a pipe).
    std::int64_t Tell() const;
    // Moves to offset from the start; 0 on success, -1 on failure. Clears Eof and drops a
    // character pushed back.
    int Seek(std::int64_t offset);
    // Seek(0), and also clears the error indicator.
    void Rewind();

private:
    bool OpenDescriptor(int fd, StreamMode mode, std::size_t bufferSize);
    int Underflow();
    void UngetOther(int c);
    bool Refill();
    std::int64_t TellAt(const unsigned char* p) const;
    std::int64_t CarriageReturnsAfterBuffer() const;

    bool open_ = false;
    bool text_ = false;
    bool eof_ = false;
    bool error_ = false;
    int errorNumber_ = 0;
    bool seekable_ = false;
    int fd_ = -1;

    // Memory source (when fd_ is -1): the whole input.
    const unsigned char* data_ = nullptr;
    std::size_t size_ = 0;

    // File source: our buffer.
    std::unique_ptr<unsigned char[]> storage_;
    std::size_t capacity_ = 0;

    // The current window of input: [buf_, end_) holds the bytes at offsets
    // [bufPos_, bufPos_ + (end_ - buf_)). Get serves [cur_, lim_) without further tests;
    // lim_ stops before anything that needs a decision (end of window, a carriage return
    // or Ctrl-Z in text mode, the end of a pushed-back character).
    const unsigned char* buf_ = nullptr;
    const unsigned char* end_ = nullptr;
    const unsigned char* cur_ = nullptr;
    const unsigned char* lim_ = nullptr;
    std::int64_t bufPos_ = 0;

    // Text mode: the next carriage return and the next Ctrl-Z at or after the point they were
    // searched from (end_ when there is none); valid while scanValid_.
    const unsigned char* nextCr_ = nullptr;
    const unsigned char* nextSub_ = nullptr;
    bool scanValid_ = false;

    // A pushed-back character that differs from the byte before cur_: Get serves it from
    // slot_, then returns to the saved window position.
    unsigned char slot_ = 0;
    bool inSlot_ = false;
    const unsigned char* savedCur_ = nullptr;
};

// Makes the reads of every file stream fail with `error` once they reach byte `offset` of
// their file (-1: never), to show how readers handle a failing disk. For tests only.
void FailFileReadsAt(std::int64_t offset, int error);

}  // namespace tarnel

#pragma once
// Temporary files and streams over the same bytes in every shape the scanners meet.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "scan/ByteStream.h"
#include "support/Portable.h"

namespace tarnel::testing {

// A directory of its own under the system temporary directory, removed with its files.
class TempDir {
public:
    TempDir() {
        path_ = test::MakeTemporaryDirectory("tarnel-scan-");
        if (path_.empty()) {
            ADD_FAILURE() << "no temporary directory";
        }
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Writes bytes to a file of that name and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string path = (path_ / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// One way of reading a block of bytes: from memory, or from a file with a given buffer size.
struct StreamShape {
    const char* name;
    std::size_t fileBuffer;  // 0: from memory
};

// Memory, and files with buffers so small that every read crosses a refill.
inline const StreamShape kStreamShapes[] = {
    {"memory", 0}, {"file/1", 1}, {"file/2", 2}, {"file/3", 3}, {"file/64K", 65536}};

// A stream over bytes in the given shape; the TempDir and bytes must outlive it.
inline std::unique_ptr<ByteStream> OpenShaped(const TempDir& dir, const std::string& bytes,
                                              StreamMode mode, const StreamShape& shape) {
    auto stream = std::make_unique<ByteStream>();
    if (shape.fileBuffer == 0) {
        stream->OpenMemory(bytes.data(), bytes.size(), mode);
    } else {
        const std::string path = dir.Write("shaped.bin", bytes);
        EXPECT_TRUE(stream->Open(path, mode, shape.fileBuffer));
    }
    return stream;
}

// Runs check once per shape, with the shape's name as trace.
inline void ForEachShape(const std::string& bytes, StreamMode mode,
                         const std::function<void(ByteStream&)>& check) {
    TempDir dir;
    for (const StreamShape& shape : kStreamShapes) {
        SCOPED_TRACE(shape.name);
        auto stream = OpenShaped(dir, bytes, mode, shape);
        check(*stream);
    }
}

}  // namespace tarnel::testing

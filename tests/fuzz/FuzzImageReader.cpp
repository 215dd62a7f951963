// ReadWordImage over any bytes: never writes outside the capacity, never names a word above its
// result, and agrees with a plain index-based reading of the delivered text, whatever the
// stream's source, buffer size and line-end style.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "scan/ImageReader.h"

namespace {

using tarnel::fuzz::Guarded;
using tarnel::fuzz::Input;

constexpr std::uint16_t kFill = 0xA5A5;
constexpr std::uint16_t kGuard = 0x5A5A;

bool IsSpace(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

int Hex(int c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The image format read straight from the text a text-mode stream delivers: a failing digit is
// consumed, and the rest of the line runs to a line feed or a zero byte, which is consumed too.
int Model(const std::string& t, std::vector<std::uint16_t>& image) {
    const std::size_t n = t.size();
    std::size_t i = 0;
    int highest = -1;
    // Reads `digits` hex digits into value; false at the first failure, which is consumed.
    auto number = [&](int digits, std::uint32_t& value) {
        value = 0;
        for (int d = 0; d < digits; ++d) {
            const int v = i < n ? Hex(static_cast<unsigned char>(t[i])) : -1;
            if (i < n) {
                ++i;
            }
            if (v < 0) {
                return false;
            }
            value = value * 16 + static_cast<std::uint32_t>(v);
        }
        return true;
    };
    for (;;) {
        while (i < n && IsSpace(static_cast<unsigned char>(t[i]))) {
            ++i;
        }
        if (i == n) {
            return highest;
        }
        std::uint32_t address = 0;
        std::uint32_t value = 0;
        if (t[i] == '@') {
            ++i;
            if (number(6, address)) {
                while (i < n && IsSpace(static_cast<unsigned char>(t[i]))) {
                    ++i;
                }
                if (number(4, value)) {
                    if (address < image.size()) {
                        image[address] = static_cast<std::uint16_t>(value);
                    }
                    highest = std::max(highest, static_cast<int>(address));
                }
            }
        }
        while (i < n && t[i] != '\n' && t[i] != '\0') {
            ++i;
        }
        if (i < n) {
            ++i;
        }
    }
}

void CheckSame(const Guarded<std::uint16_t>& got, int gotResult,
               const std::vector<std::uint16_t>& want, int wantResult) {
    got.CheckGuards();
    FUZZ_CHECK(gotResult == wantResult);
    FUZZ_CHECK(std::equal(want.begin(), want.end(), got.Data()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnel;
    Input in(data, size);
    const std::uint32_t capacity = in.Byte() % 72;
    const std::size_t bufferSize = 1 + in.Byte() % 16;
    const std::string raw = in.Rest();

    std::vector<std::uint16_t> want(capacity, kFill);
    const int wantResult = Model(fuzz::TextView(raw), want);

    // From memory.
    Guarded<std::uint16_t> image(capacity, kFill, kGuard);
    ByteStream memory;
    memory.OpenMemory(raw.data(), raw.size(), StreamMode::Text);
    const int result = ReadWordImage(memory, image.Data(), capacity);
    image.CheckGuards();
    FUZZ_CHECK(result >= -1 && result <= 0xFFFFFF);
    for (std::uint32_t a = 0; a < capacity; ++a) {
        if (image.Data()[a] != kFill) {
            FUZZ_CHECK(static_cast<int>(a) <= result);  // -1: nothing was written
        }
    }
    CheckSame(image, result, want, wantResult);

    // From a file, through a buffer small enough to refill inside every record.
    const std::string& path = fuzz::ScratchFile::Get().Write(raw);
    Guarded<std::uint16_t> small(capacity, kFill, kGuard);
    ByteStream file;
    FUZZ_CHECK(file.Open(path, StreamMode::Text, bufferSize));
    CheckSame(small, ReadWordImage(file, small.Data(), capacity), want, wantResult);

    // By path, as the callers use it.
    Guarded<std::uint16_t> byPath(capacity, kFill, kGuard);
    CheckSame(byPath, ReadWordImage(path, byPath.Data(), capacity), want, wantResult);

    // The same file with CR LF line ends reads alike.
    std::string crlf;
    for (char c : raw) {
        if (c == '\n') {
            crlf.push_back('\r');
        }
        crlf.push_back(c);
    }
    Guarded<std::uint16_t> dos(capacity, kFill, kGuard);
    ByteStream crlfStream;
    crlfStream.OpenMemory(crlf.data(), crlf.size(), StreamMode::Text);
    CheckSame(dos, ReadWordImage(crlfStream, dos.Data(), capacity), want, wantResult);
    return 0;
}

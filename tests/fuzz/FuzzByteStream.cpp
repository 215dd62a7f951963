// The byte stream under any sequence of reads, push-backs, positions and line-column queries,
// in both modes, from memory and from a file through a tiny buffer: every answer agrees with a
// plain model of the characters the mode delivers and the offsets they stand at.

#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "scan/TextScanner.h"

namespace {

using namespace tarnel;
using fuzz::Input;

// The delivered characters with their offsets, and the offset where the input ends for the
// reader (the first Ctrl-Z in text mode, else the size).
struct Model {
    Model(const std::string& raw, bool text) {
        std::size_t i = 0;
        for (; i < raw.size(); ++i) {
            const auto c = static_cast<unsigned char>(raw[i]);
            if (text && c == 0x1A) {
                break;
            }
            if (text && c == '\r') {
                continue;
            }
            chars.push_back(c);
            offsets.push_back(static_cast<std::int64_t>(i));
        }
        end = static_cast<std::int64_t>(i);
    }
    // The offset told when the next character is number k.
    std::int64_t Position(std::size_t k) const { return k < offsets.size() ? offsets[k] : end; }
    std::vector<int> chars;
    std::vector<std::int64_t> offsets;
    std::int64_t end = 0;
};

void LineColumn(const Model& m, std::size_t k, int* line, int* column) {
    *line = 1;
    *column = 1;
    for (std::size_t i = 0; i < k; ++i) {
        if (m.chars[i] == '\n' || m.chars[i] == '\r') {
            ++*line;
            *column = 1;
        } else {
            ++*column;
        }
    }
}

void Run(const Model& m, ByteStream& s, const std::string& ops) {
    std::size_t k = 0;  // the model's next character
    bool eof = false;
    int last = -2;  // what the last Get returned, -2 when the last step was no Get
    std::vector<std::size_t> told = {0};
    for (unsigned char op : ops) {
        FUZZ_CHECK(s.Eof() == eof);
        switch (op % 7) {
            case 0:
            case 1: {
                const int c = s.Get();
                if (k < m.chars.size()) {
                    FUZZ_CHECK(c == m.chars[k]);
                    ++k;
                } else {
                    FUZZ_CHECK(c == -1);
                    eof = true;
                }
                last = c;
                continue;
            }
            case 2:
                if (last >= 0) {
                    s.Unget(last);
                    --k;
                    eof = false;
                } else if (last == -1) {
                    s.Unget(-1);  // nothing happens
                }
                break;
            case 3:
                FUZZ_CHECK(s.Tell() == m.Position(k));
                told.push_back(k);
                break;
            case 4: {
                const std::size_t to = told[(op / 7) % told.size()];
                FUZZ_CHECK(s.Seek(m.Position(to)) == 0);
                k = to;
                eof = false;
                break;
            }
            case 5:
                s.Rewind();
                k = 0;
                eof = false;
                break;
            case 6: {
                int line = 0;
                int column = 0;
                int wantLine = 0;
                int wantColumn = 0;
                LineColumn(m, k, &wantLine, &wantColumn);
                line = GetLineColumn(s, &column);
                FUZZ_CHECK(line == wantLine && column == wantColumn);
                eof = false;
                break;
            }
        }
        last = -2;
    }
    // Whatever happened, the rest reads as the model's rest.
    for (; k < m.chars.size(); ++k) {
        FUZZ_CHECK(s.Get() == m.chars[k]);
    }
    FUZZ_CHECK(s.Get() == -1 && s.Eof());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    const bool text = (in.Byte() & 1) != 0;
    const std::size_t bufferSize = 1 + in.Byte() % 8;
    const std::string raw = in.Take(in.Byte());
    const std::string ops = in.Rest();
    const Model model(raw, text);
    const StreamMode mode = text ? StreamMode::Text : StreamMode::Binary;

    ByteStream memory;
    memory.OpenMemory(raw.data(), raw.size(), mode);
    Run(model, memory, ops);

    ByteStream file;
    FUZZ_CHECK(file.Open(fuzz::ScratchFile::Get().Write(raw), mode, bufferSize));
    Run(model, file, ops);
    return 0;
}

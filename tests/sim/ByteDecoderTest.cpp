// The decoder's bulk path against its byte-at-a-time path: the same units and the same
// protocol errors, wherever the stream is split between writes.

#include <gtest/gtest.h>

#include "SimFixture.h"
#include "sim/ByteDecoder.h"

namespace tarnel::sim::test {
namespace {

struct Decoded {
    std::vector<std::pair<Unit::Kind, std::uint32_t>> units;
    std::vector<std::string> errors;
};

Decoded OneByOne(const Bytes& stream) {
    ProtocolLog log;
    ByteDecoder decoder(log);
    Decoded out;
    for (const std::uint8_t byte : stream) {
        if (const auto unit = decoder.Feed(byte)) {
            out.units.emplace_back(unit->kind, unit->word);
        }
    }
    out.errors = log.Messages();
    return out;
}

// The stream in two writes, split at `split`, each taken whole.
Decoded InBulk(const Bytes& stream, std::size_t split) {
    ProtocolLog log;
    ByteDecoder decoder(log);
    Decoded out;
    const std::span<const std::uint8_t> all(stream);
    for (std::span<const std::uint8_t> part : {all.first(split), all.subspan(split)}) {
        while (!part.empty()) {
            if (const auto unit = decoder.FeedSome(part)) {
                out.units.emplace_back(unit->kind, unit->word);
            }
        }
    }
    out.errors = log.Messages();
    return out;
}

TEST(ByteDecoder, BulkDecodingMatchesByteByByteAtEverySplit) {
    const Bytes stream = Join({
        kLineIdleBytes, kAttach, WordBytes(0x12345678), WordBytes(0x03100001), kTerminator,
        Bytes{0xCA, 0x30, 0x30}, kTerminator,                // a word cut short
        Bytes{0xCA, 0x70, 0x70, 0x3F},                       // a request with a nibble byte
        Bytes{0x55, 0x38},                                   // bytes that fit nowhere
        WordBytes(0xFFFFFFFF), kTerminator, kAnswerRequest,  //
        Bytes{0xA7, 0xEB, 0xD0}, kDetach, Bytes{0xD0},       // a cut terminator, a probe
    });
    const Decoded expected = OneByOne(stream);
    ASSERT_EQ(expected.units.size(), 12u);
    ASSERT_EQ(expected.errors.size(), 6u);
    for (std::size_t split = 0; split <= stream.size(); ++split) {
        SCOPED_TRACE(split);
        const Decoded bulk = InBulk(stream, split);
        EXPECT_EQ(bulk.units, expected.units);
        EXPECT_EQ(bulk.errors, expected.errors);
    }
}

}  // namespace
}  // namespace tarnel::sim::test

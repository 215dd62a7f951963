// The emulated chip on its own: the divisor encoding of baud rates and how answers leave
// the chip in packets, which the end-to-end runs only meet with a few bytes at a time.

#include "usbemu/UsbChip.h"

#include <gtest/gtest.h>

#include <vector>

#include "sim/Adapter.h"
#include "sim/Faults.h"
#include "sim/ProtocolLog.h"
#include "sim/Target.h"

namespace tarnel::usbemu {
namespace {

using std::chrono::milliseconds;

TEST(UsbChip, DecodesTheDivisorsOfCommonRates) {
    // Worked by hand: 3 MHz / rate as whole + eighths, eighths coded 0, 4, 2, 1, 3, 5, 6, 7
    // -> 0..7 in bits 14-15 of the value and bit 0 of the index.
    struct Case {
        std::uint16_t value;
        std::uint16_t index;
        std::uint32_t rate;
    };
    const Case cases[] = {
        {0x4138, 0, 9600},     // 312.5
        {0xC04E, 0, 38400},    // 78.125
        {0x001A, 0, 115385},   // 26 (115200 asked)
        {0x0000, 0, 3000000},  // special: 3 MHz
        {0x0001, 0, 2000000},  // special: 2 MHz
        {0x8005, 1, 521739},   // 5.75: code 6 = bit 15 and index bit 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        EXPECT_EQ(DecodeBaudRate(c.value, c.index), c.rate);
    }
}

TEST(UsbChip, AnswersLeaveInPacketsAfterTheAnswerDelayAndTheLatencyTimer) {
    const sim::Faults faults;
    sim::ProtocolLog log;
    sim::Target target(faults, log);
    sim::Adapter adapter(faults, log, target);
    UsbChip chip({}, &adapter, milliseconds(2));
    chip.Claimed();
    const Clock::time_point t0 = Clock::now();
    ASSERT_FALSE(chip.Control({.requestType = 0x40, .request = 0x09, .value = 1}).stalled);

    // 130 probes bring 130 answers, two packets' worth and more.
    const std::vector<std::uint8_t> probes(130, 0xD0);
    chip.BulkOut(probes, t0);
    std::vector<std::uint8_t> buffer(4096);
    EXPECT_EQ(chip.InDue(t0), t0) << "the latency timer ran out long ago";
    ASSERT_EQ(chip.BulkIn(buffer, t0), 2u) << "nothing is ready before the answer delay";
    EXPECT_EQ(chip.InDue(t0 + milliseconds(1)), t0 + milliseconds(1));
    EXPECT_EQ(chip.InDue(t0), t0 + milliseconds(1)) << "one latency period after the packet";

    const Clock::time_point later = t0 + milliseconds(2);
    EXPECT_EQ(chip.InDue(later), later) << "a whole packet is waiting";
    ASSERT_EQ(chip.BulkIn(buffer, later), 130u + 3 * 2);
    for (const std::size_t status : {0u, 64u, 128u}) {
        EXPECT_EQ(buffer[status], 0x01);
        EXPECT_EQ(buffer[status + 1], 0x60);
    }
    EXPECT_EQ(buffer[2], 0xD0);
    EXPECT_EQ(buffer[127], 0xD0);
    EXPECT_EQ(buffer[135], 0xD0);
    EXPECT_EQ(chip.BulkIn(buffer, later + milliseconds(1)), 2u);
    EXPECT_EQ(log.Count(), 0u);
}

}  // namespace
}  // namespace tarnel::usbemu

// Which device TARNEL_ADAPTER names: a serial number, or a location ID written as a
// number or as a Linux port path.

#include <gtest/gtest.h>

#include <optional>

#include "platform/AdapterSelection.h"

namespace tarnel {
namespace {

TEST(AdapterSelection, ALocationIsReadAsANumberOrAPortPath) {
    struct Case {
        const char* text;
        std::optional<std::uint32_t> location;
    };
    const Case cases[] = {
        {"322", 322},
        {"0x142", 0x142},
        {"0X1a", 0x1A},
        {"1-4.2", 0x142},
        {"3-1", 0x31},
        {"12-15.1.9", 0xCF19},
        {"1-16", std::nullopt},  // a port needs one hex digit
        {"1-4.", std::nullopt},
        {"1-", std::nullopt},
        {"-4", std::nullopt},
        {"", std::nullopt},
        {"0x", std::nullopt},
        {"FT1234", std::nullopt},
        {"4294967296", std::nullopt},
        {"1-1.1.1.1.1.1.1.1", std::nullopt},  // 36 bits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseLocation(c.text), c.location);
    }
}

TEST(AdapterSelection, TheSerialNumberOrTheLocationNamesTheDevice) {
    EXPECT_TRUE(SelectionNames("FT1234", "FT1234", 0x142));
    EXPECT_TRUE(SelectionNames("1-4.2", "FT1234", 0x142));
    EXPECT_TRUE(SelectionNames("322", "FT1234", 0x142));
    EXPECT_FALSE(SelectionNames("FT123", "FT1234", 0x142));
    EXPECT_FALSE(SelectionNames("1-4.3", "FT1234", 0x142));
}

}  // namespace
}  // namespace tarnel

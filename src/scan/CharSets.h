#pragma once
// Character tests shared by the scanners; internal to the scan library.

namespace tarnel::detail {

// The six white-space characters of the image format: space, tab, line feed, vertical tab,
// form feed, carriage return. False for -1.
inline bool IsImageSpace(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Membership as strchr tests it: the set's terminator matches a zero byte, so a zero
// character is a member of every set. c is a character 0 to 255 or a signed char.
inline bool InSet(const char* set, int c) {
    const char ch = static_cast<char>(c);
    for (;; ++set) {
        if (*set == ch) {
            return true;
        }
        if (*set == '\0') {
            return false;
        }
    }
}

// Hex digit values by character, -1 for every other byte.
struct HexTable {
    signed char value[256];
    constexpr HexTable() : value() {
        for (int c = 0; c < 256; ++c) {
            value[c] = c >= '0' && c <= '9'   ? static_cast<signed char>(c - '0')
                       : c >= 'a' && c <= 'f' ? static_cast<signed char>(c - 'a' + 10)
                       : c >= 'A' && c <= 'F' ? static_cast<signed char>(c - 'A' + 10)
                                              : -1;
        }
    }
};
inline constexpr HexTable kHexTable;

// 0 to 15 for a hex digit; -1 for anything else, negative values and -1 included.
inline int HexValue(int c) {
    return static_cast<unsigned>(c) < 256u ? kHexTable.value[c] : -1;
}

}  // namespace tarnel::detail

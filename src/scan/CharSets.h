#pragma once
// Character tests shared by the scanners; internal to the scan library.

namespace tarnel::detail {

// The six white-space characters of the image format: space, tab, line feed, vertical tab,
// form feed, carriage return. False for -1.
inline bool IsImageSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

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

inline int HexValue(int c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace tarnel::detail

#include "scan/TextDecode.h"

#include <strings.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace tarnel {

namespace {

// CharRefValue, also telling where the reference ends (at its ";").
int CharRefAt(const char* p, const char** semicolon) {
    if (p[0] != '&' || p[1] != '#') {
        return -1;
    }
    const char* number = p + 2;
    int base = 10;
    if (*number == 'x' || *number == 'X') {
        ++number;
        base = 16;
    }
    char* end = nullptr;
    long value = std::strtol(number, &end, base);
    // long is 64 bits on some platforms and 32 on others; the result is 32 bits everywhere.
    if (value > INT32_MAX) {
        value = INT32_MAX;
        errno = ERANGE;
    } else if (value < INT32_MIN) {
        value = INT32_MIN;
        errno = ERANGE;
    }
    if (*end != ';') {
        return -1;
    }
    *semicolon = end;
    return static_cast<int>(value);
}

int Upper(char c) {
    return std::toupper(static_cast<unsigned char>(c));
}

}  // namespace

char* StripQuotes(char* s, char open, char close) {
    const char* from = s;
    if (*from != '\0' && *from == open) {
        ++from;
    }
    char* to = s;
    while (*from != '\0' && !(*from == close && from[1] == '\0')) {
        *to++ = *from++;
    }
    *to = '\0';
    return s;
}

char* DecodeEscapes(char* s) {
    const char* from = s;
    char* to = s;
    while (*from != '\0') {
        if (*from == '\\') {
            char decoded = '\0';
            switch (from[1]) {
                case 'n':
                    decoded = '\n';
                    break;
                case 'r':
                    decoded = '\r';
                    break;
                case 't':
                    decoded = '\t';
                    break;
                case '"':
                    decoded = '"';
                    break;
                case '\'':
                    decoded = '\'';
                    break;
                default:
                    break;
            }
            if (decoded != '\0') {
                *to++ = decoded;
                from += 2;
                continue;
            }
        }
        *to++ = *from++;
    }
    *to = '\0';
    return s;
}

int CharRefValue(const char* p) {
    const char* semicolon = nullptr;
    return CharRefAt(p, &semicolon);
}

char* DecodeCharRefs(char* s) {
    const char* from = s;
    char* to = s;
    while (*from != '\0') {
        const char* semicolon = nullptr;
        const int value = *from == '&' ? CharRefAt(from, &semicolon) : -1;
        if (value != -1) {
            *to++ = static_cast<char>(value & 0xFF);
            from = semicolon + 1;
        } else {
            *to++ = *from++;
        }
    }
    *to = '\0';
    return s;
}

int StartsWith(const char* prefix, const char* text) {
    return SkipPrefix(prefix, text) != nullptr ? 1 : 0;
}

int StartsWithNoCase(const char* prefix, const char* text) {
    for (; *prefix != '\0'; ++prefix, ++text) {
        if (Upper(*prefix) != Upper(*text)) {
            return 0;
        }
    }
    return 1;
}

const char* SkipPrefix(const char* prefix, const char* text) {
    for (; *prefix != '\0'; ++prefix, ++text) {
        if (*prefix != *text) {
            return nullptr;
        }
    }
    return text;
}

const char* FindValue(const char* list, const char* name, const char* fallback) {
    const char* at = list;
    while (*at != '\0') {
        const char* value = at + std::strlen(at) + 1;
        if (::strcasecmp(at, name) == 0) {
            return value;
        }
        at = value + std::strlen(value) + 1;
    }
    return fallback;
}

}  // namespace tarnel

// The decoders, prefix tests and list lookup over any bytes: in place within the string's own
// bytes, never longer than their input, the same text as a plain reading of each rule, and
// lookups that stay inside the list.

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "scan/TextDecode.h"

namespace {

using namespace tarnel;
using fuzz::Guarded;
using fuzz::Input;

// Runs an in-place decoder over text in a guarded buffer and returns what it left.
template <class Decoder>
std::string InPlace(const std::string& text, Decoder decode) {
    Guarded<char> buffer(text.size() + 1, '\0', '\x5A');
    std::memcpy(buffer.Data(), text.c_str(), text.size() + 1);
    FUZZ_CHECK(decode(buffer.Data()) == buffer.Data());
    buffer.CheckGuards();
    const std::string result(buffer.Data());
    FUZZ_CHECK(result.size() <= text.size());
    return result;
}

std::string ModelStrip(const std::string& s, char open, char close) {
    std::size_t from = !s.empty() && s[0] == open ? 1 : 0;
    std::size_t to = s.size();
    if (to > from && s[to - 1] == close) {
        --to;
    }
    return s.substr(from, to - from);
}

std::string ModelEscapes(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char next = i + 1 < s.size() ? s[i + 1] : '\0';
        const char* from = std::strchr("nrt\"'", next);
        if (s[i] == '\\' && next != '\0' && from != nullptr) {
            out.push_back("\n\r\t\"'"[from - "nrt\"'"]);
            ++i;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

// The reference value through strtoll, which holds every 32-bit value on every platform.
long long ModelCharRef(const std::string& s, std::size_t at, std::size_t* end) {
    if (s.compare(at, 2, "&#") != 0) {
        return -1;
    }
    std::size_t number = at + 2;
    int base = 10;
    if (number < s.size() && (s[number] == 'x' || s[number] == 'X')) {
        ++number;
        base = 16;
    }
    char* stop = nullptr;
    long long value = std::strtoll(s.c_str() + number, &stop, base);
    value = value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : value;
    *end = static_cast<std::size_t>(stop - s.c_str());
    return *end < s.size() && s[*end] == ';' ? value : -1;
}

std::string ModelCharRefs(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        std::size_t end = 0;
        const long long value = ModelCharRef(s, i, &end);
        if (value != -1) {
            out.push_back(static_cast<char>(value & 0xFF));
            i = end + 1;
        } else {
            out.push_back(s[i++]);
        }
    }
    return out.substr(0, std::strlen(out.c_str()));  // a decoded zero ends the string
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    const char open = static_cast<char>(in.Byte());
    const char close = static_cast<char>(in.Byte());
    const std::string raw = in.Rest();
    const std::string text = raw.c_str();  // up to the first zero byte

    FUZZ_CHECK(InPlace(text, [&](char* s) { return StripQuotes(s, open, close); }) ==
               ModelStrip(text, open, close));
    FUZZ_CHECK(InPlace(text, DecodeEscapes) == ModelEscapes(text));
    FUZZ_CHECK(InPlace(text, DecodeCharRefs) == ModelCharRefs(text));

    for (std::size_t at = 0; at < text.size(); ++at) {
        std::size_t end = 0;
        FUZZ_CHECK(CharRefValue(text.c_str() + at) == ModelCharRef(text, at, &end));
    }

    // The whole input as a packed list: three zero bytes behind it end any run of strings.
    const std::string list = raw + std::string(3, '\0');
    const char* name = text.c_str();
    const char* fallback = "fallback";
    const char* found = FindValue(list.c_str(), name, fallback);
    if (found != fallback) {
        FUZZ_CHECK(found > list.c_str() && found < list.c_str() + list.size());
        FUZZ_CHECK(found[-1] == '\0');
    }

    // The prefix tests agree with each other.
    const std::string prefix = text.substr(0, text.size() / 2);
    const std::string rest = text.substr(text.size() / 3);
    for (const std::string* t : {&text, &rest}) {
        const char* skipped = SkipPrefix(prefix.c_str(), t->c_str());
        const int starts = StartsWith(prefix.c_str(), t->c_str());
        FUZZ_CHECK(starts == (t->compare(0, prefix.size(), prefix) == 0 ? 1 : 0));
        FUZZ_CHECK((skipped != nullptr) == (starts == 1));
        FUZZ_CHECK(skipped == nullptr || skipped == t->c_str() + prefix.size());
        FUZZ_CHECK(starts == 0 || StartsWithNoCase(prefix.c_str(), t->c_str()) == 1);
    }
    return 0;
}

#pragma once
// Small string routines of the text scanners: in-place decoders for quoted attribute values,
// prefix tests, and lookup in packed name/value lists.
//
// A packed name/value list is a run of zero-terminated strings taken in pairs, name then
// value, ended by an empty name: the bytes  a 0 0 b 0 1 0 0  hold (a, "") and (b, "1").
//
// The decoders work in place, only ever shorten their string, and return it. No routine here
// reports an error: malformed input is left in the text unchanged.

namespace tarnel {

// Drops one leading open character and, independently, one trailing close character.
char* StripQuotes(char* s, char open, char close);

// Replaces \n \r \t \" \' by line feed, carriage return, tab, double and single quote. A
// backslash before anything else (the terminator included) stays, and the character after
// it is treated on its own.
char* DecodeEscapes(char* s);

// Replaces every character reference &#N; (decimal) or &#xN; (hex) by one character, the
// low 8 bits of its value. A reference whose value is -1 is not one and stays.
char* DecodeCharRefs(char* s);

// The value of the reference at p: "&#", then an optional x or X for base 16, then a number
// as strtol reads it (leading white space, a sign, in base 16 a 0x prefix), then ";".
// Values beyond the signed 32-bit range are clamped to its nearest limit, with errno set to
// ERANGE. An empty number is 0. -1 when there is no such reference at p.
int CharRefValue(const char* p);

// 1 if text begins with prefix (an empty prefix always matches), else 0.
int StartsWith(const char* prefix, const char* text);
// The same, comparing the upper-case forms of the characters.
int StartsWithNoCase(const char* prefix, const char* text);
// Where text goes on behind prefix, or null when text does not begin with it.
const char* SkipPrefix(const char* prefix, const char* text);

// The value of the first pair in list whose name equals name ignoring case; fallback when
// there is none. Values are never compared.
const char* FindValue(const char* list, const char* name, const char* fallback);

}  // namespace tarnel

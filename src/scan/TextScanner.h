#pragma once
// Scanners for text formats, in two families that mirror each other: over a ByteStream
// (a scanner pushes back the one character that ends its token) and over a cursor, a
// reference to a pointer into a zero-terminated string (a scanner leaves it on the character
// that ends its token, and never moves it past the terminator).
//
// Bounded output: a token reader stores at most count - 1 characters of its token and a
// terminating zero behind them, nothing at all when count <= 0. It reads on to the end of
// the token whatever the capacity and returns the token's full length, so a result of count
// or more means the stored text was cut.
//
// Character sets are zero-terminated strings of their members, tested like strchr: a zero
// byte read from a stream is a member of every set; the end of input never is. Letters,
// digits and white space are those of isalpha, isalnum and isspace in the current locale
// (PeekNonSpace keeps to the image format's six white-space characters). The string scanners
// take characters as signed values: a byte 0x80 to 0xFF there is never white space, a letter
// or a digit.
//
// Token readers take out, count, any sets, then the stream or cursor; skip and peek
// operations take the stream or cursor first.

#include "scan/ByteStream.h"
#include "scan/ImageReader.h"
#include "scan/TextDecode.h"

namespace tarnel {

// The code of the last failure of the quoted-string, raw-tag and tag readers. Set only on a
// failure and never cleared: set it to 0 first to tell a failure from an absent token.
//   1  the tag's names and values, with terminators and end mark, do not fit out
//   2  a name was expected and the character there cannot begin one
//   3  a value was expected after "=" and none was found (an unterminated quoted one too)
//   4  the input ended inside a quoted string or before the ">" of a tag
extern int ScanError;

// Fixed sets of the tag readers.
extern const char* const TagIdentStart;  // "!/": besides letters, may begin a name
extern const char* const TagIdentRest;   // "_": besides letters and digits, inside a name
extern const char* const TagValueStop;   // " \n\r\t>": ends an unquoted value

// --- Over a stream (PeekNonSpace, SkipUntilOneOf and the hex readers: ImageReader.h) ---

// Skips members of set; returns the first other character, pushed back, or -1 at the end.
int SkipWhileOneOf(ByteStream& stream, const char* set);

// An identifier: a letter or a member of first, then letters, digits and members of rest.
// Returns its length, or 0 (output empty, nothing consumed) when none begins here.
int ReadIdentifier(char* out, int count, const char* first, const char* rest, ByteStream& stream);
// Every character up to the first white space or the end; no white space is skipped first.
int ReadWord(char* out, int count, ByteStream& stream);
// Every character up to the first member of set or the end.
int ReadUntilOneOf(char* out, int count, const char* set, ByteStream& stream);
// A double-quoted string, both quotes included in token and length; no escapes. 0 when no
// quote begins here, or with ScanError 4 when the input ends before the closing quote.
int ReadQuoted(char* out, int count, ByteStream& stream);
// A whole tag "<...>" copied unchanged, quoted strings skipped as one piece; the ">" is
// consumed. Returns the tag's length; 0 when no "<" begins here or on failure (ScanError 4).
int ReadRawTag(char* out, int count, ByteStream& stream);
// A tag parsed into a packed name/value list (the tag's own name first; a name without a
// value has the empty value; double-quoted values are stripped and their escapes and
// character references decoded). The ">" is left unread. 1 on success; 0 when no "<"
// begins here (ScanError untouched) or on failure (ScanError 1 to 4, out empty).
int ReadTag(char* out, int count, ByteStream& stream);

// The 1-based line of the stream's position, and its column through column when given.
// Rereads the stream from its start; a line feed and a carriage return each start a line.
// 0 (column 0) when the position cannot be told.
int GetLineColumn(ByteStream& stream, int* column = nullptr);

// --- Over a cursor ---

// Skips white space; returns the character there (0 at the end), unconsumed.
int PeekNonSpaceStr(const char*& cursor);
// Skips to the first member of set; returns the character there (0 at the end), unconsumed.
int SkipUntilOneOfStr(const char*& cursor, const char* set);

int ReadIdentifierStr(char* out, int count, const char* first, const char* rest,
                      const char*& cursor);
int ReadWordStr(char* out, int count, const char*& cursor);
int ReadUntilOneOfStr(char* out, int count, const char* set, const char*& cursor);
int ReadQuotedStr(char* out, int count, const char*& cursor);
int ReadRawTagStr(char* out, int count, const char*& cursor);
int ReadTagStr(char* out, int count, const char*& cursor);

// Hex over a cursor: as ReadHexDigit, ReadHexByte, ReadHexWord. A digit is taken and the
// cursor advanced, except on the terminator, where the cursor stays.
int ReadHexDigitStr(const char*& cursor);
int ReadHexByteStr(const char*& cursor);
int ReadHexWordStr(const char*& cursor);

}  // namespace tarnel

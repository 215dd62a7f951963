#pragma once
// The Intel HEX reader.
//
// One record per line: ":", then hex pairs: the data length, a 16-bit offset, the record
// type, the data and a checksum that makes all the record's bytes sum to 0 modulo 256.
// Types: 00 data at base + offset; 01 end of file (the rest of the file is not read);
// 02 extended segment address (base = value * 16; offsets then wrap inside their 64 KiB);
// 04 extended linear address (base = value << 16); 03 and 05 (start addresses) are read and
// ignored. Addresses count bytes; ByteImageWriter lays them into words.

#include "scan/ByteImage.h"
#include "scan/ByteStream.h"

namespace tarnel {

// Reads records from a binary stream into `out` until the end-of-file record. Returns the
// fault of the first line that is not a well-formed record of a known type (the line and
// why), or a fault at the last line when the input ends without an end-of-file record;
// nothing when every record was read.
std::optional<ImageFault> ReadIntelHex(ByteStream& stream, ByteImageWriter& out);

}  // namespace tarnel

#pragma once
// The Motorola S-record reader.
//
// One record per line: "S", a type digit, then hex pairs: the count of the bytes that
// follow, the address (2, 3 or 4 bytes by type), the data and a checksum, the ones'
// complement of the low byte of the sum of count, address and data. Types: S0 header
// (ignored); S1, S2, S3 data at a 16-, 24- or 32-bit byte address; S5, S6 the count of data
// records so far, which must match; S7, S8, S9 the end (the rest of the file is not read).
// ByteImageWriter lays the bytes into words.

#include "scan/ByteImage.h"
#include "scan/ByteStream.h"

namespace tarnel {

// Reads records from a binary stream into `out` until an end record. Returns the fault of
// the first line that is not a well-formed record of a known type (the line and why), of a
// count record that does not match, or at the last line when the input ends without an end
// record; nothing when every record was read.
std::optional<ImageFault> ReadSRecords(ByteStream& stream, ByteImageWriter& out);

}  // namespace tarnel

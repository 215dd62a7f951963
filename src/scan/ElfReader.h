#pragma once
// The ELF reader: 32- and 64-bit files of either byte order.
//
// The image is the file bytes of every loadable segment (PT_LOAD) at its physical address,
// which is where a linker puts the bytes that belong in flash; the part of a segment beyond
// its file bytes (zero-filled memory) and every other segment are not part of it. Addresses
// count bytes; ByteImageWriter lays them into words.

#include "scan/ByteImage.h"
#include "scan/ByteStream.h"

namespace tarnel {

// The four bytes every ELF file begins with.
inline constexpr unsigned char kElfMagic[4] = {0x7F, 'E', 'L', 'F'};

// Reads a seekable binary stream from its start into `out`. Returns the fault, with the
// offset of the field or bytes at fault, of a header that is not a valid ELF header, a
// program header table or segment that lies outside the file, a segment whose address
// range overflows, or a file without a loadable segment that holds bytes; nothing when
// every segment was read.
std::optional<ImageFault> ReadElf(ByteStream& stream, ByteImageWriter& out);

}  // namespace tarnel

// The executable's version record, kept in a section of its own so that the About
// window can read it back from the file. Linked into the executables only.

#include "platform/VersionRecord.h"

namespace {

constexpr std::uint32_t Pack(unsigned high, unsigned low) {
    return (high << 16) | low;
}

}  // namespace

extern "C" {
[[gnu::used, gnu::section(".tarnel_version")]] const tarnel::VersionRecord tarnelVersionRecord = {
    tarnel::kVersionRecordSignature,
    tarnel::kVersionRecordLayout,
    Pack(TARNEL_VERSION_MAJOR, TARNEL_VERSION_MINOR),
    Pack(TARNEL_VERSION_RELEASE, TARNEL_VERSION_BUILD),
    Pack(1, 0),
    Pack(0, 0),
    "Tarnel",
    TARNEL_FILE_VERSION,
    "1.0.0.0",
    "The Tarnel developers",
};
}

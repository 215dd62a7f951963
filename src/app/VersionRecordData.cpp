// The executable's version record, kept in a section of its own so that the About
// window can read it back from the file. Linked into the executables only.

#include "platform/VersionRecord.h"

namespace {

constexpr std::uint32_t Pack(unsigned high, unsigned low) {
    return (high << 16) | low;
}

}  // namespace

#define TARNEL_TEXT(x) #x
#define TARNEL_NUMBER_TEXT(x) TARNEL_TEXT(x)

extern "C" {
[[gnu::used, gnu::section(".tarnel_version")]] const tarnel::VersionRecord tarnelVersionRecord = {
    tarnel::kVersionRecordSignature,
    tarnel::kVersionRecordLayout,
    Pack(TARNEL_VERSION_MAJOR, TARNEL_VERSION_MINOR),
    Pack(TARNEL_VERSION_RELEASE, TARNEL_VERSION_BUILD),
    // The product version is the file version without its build number.
    Pack(TARNEL_VERSION_MAJOR, TARNEL_VERSION_MINOR),
    Pack(TARNEL_VERSION_RELEASE, 0),
    "Tarnel",
    TARNEL_FILE_VERSION,
    TARNEL_NUMBER_TEXT(TARNEL_VERSION_MAJOR) "." TARNEL_NUMBER_TEXT(
        TARNEL_VERSION_MINOR) "." TARNEL_NUMBER_TEXT(TARNEL_VERSION_RELEASE) ".0",
    "The Tarnel developers",
};
}

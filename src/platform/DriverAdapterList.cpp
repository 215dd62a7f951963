#include "platform/DriverAdapterList.h"

#include "platform/DriverApi.h"

namespace tarnel {
namespace {

constexpr std::uint32_t kAdapterId = 0x0403F1A0u;

}  // namespace

std::optional<std::vector<DriverAdapter>> ListDriverAdapters() {
    std::uint32_t count = 0;
    if (FT_CreateDeviceInfoList(&count) != FT_OK) {
        return std::nullopt;
    }
    std::vector<DriverAdapter> adapters;
    for (std::uint32_t index = 0; index < count; ++index) {
        std::uint32_t flags = 0;
        std::uint32_t id = 0;
        std::uint32_t location = 0;
        char serial[kSerialSize] = {};
        char description[kDescriptionSize] = {};
        if (FT_GetDeviceInfoDetail(index, &flags, nullptr, &id, &location, serial, description,
                                   nullptr) != FT_OK ||
            id != kAdapterId) {
            continue;
        }
        // The driver fills both texts but does not promise to end them.
        serial[kSerialSize - 1] = '\0';
        description[kDescriptionSize - 1] = '\0';
        adapters.push_back({location, serial, (flags & FT_FLAGS_OPENED) == 0, description});
    }
    return adapters;
}

}  // namespace tarnel

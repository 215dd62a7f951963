#pragma once
// The application's real message-box service: a modal box with the stop icon, the detail
// of the cause as its informative text.

#include <cstdint>
#include <string_view>

namespace tarnel {

int ShowMessageBox(const char* text, const char* caption, std::int32_t flags,
                   std::string_view detail);

}  // namespace tarnel

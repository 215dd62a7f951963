#pragma once
// The application's real message-box service: a modal box with the stop icon.

#include <cstdint>

namespace tarnel {

int ShowMessageBox(const char* text, const char* caption, std::int32_t flags);

}  // namespace tarnel

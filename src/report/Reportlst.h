#pragma once
// The fixed table of messages that the tool reports, one row per message key.

#include <cstdint>

#include "report/MessageKeys.h"

namespace tarnel {

struct ReportEntry {
    const char* key;      // null in the row that ends the table
    const char* text;     // body of the box
    const char* caption;  // title of the box
    std::int32_t flags;   // message-box style: 0x10 is an OK button with the stop icon
    std::int32_t code;    // stored in exitCode when the message is reported
};

// Message-box style flags.
inline constexpr std::int32_t kBoxOk = 0x00;
inline constexpr std::int32_t kBoxIconStop = 0x10;

// Button code of OK.
inline constexpr int kButtonOk = 1;

// The nine messages in the order of MessageKey, then a row of nulls and zeros.
extern const ReportEntry reportList[kMessageCount + 1];

// The row of `key`.
const ReportEntry& MessageEntry(MessageKey key);

}  // namespace tarnel

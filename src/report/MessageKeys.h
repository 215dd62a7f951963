#pragma once
// The message keys: one enumerator per row of reportList, in the table's order, so that a
// key indexes its row and a mistyped key does not compile.

#include <cstddef>
#include <string>

namespace tarnel {

enum class MessageKey {
    ErrEICEcom,
    ErrUplBoot,
    ErrMassErase,
    ErrPageProgram,
    ErrBootFile,
    ErrFlashFile,
    ErrDravin,
    ErrInterrupted,
    ErrCommandInterrupted,
};

inline constexpr std::size_t kMessageCount = 9;

// A failure as the layers below the window hand it up: the message to report and what is
// known of the cause (the page of a page failure, the step of a channel failure, the path
// and system reason of a file failure); the detail may be empty.
struct Failure {
    MessageKey key;
    std::string detail;
};

namespace msg {
inline constexpr MessageKey ErrEICEcom = MessageKey::ErrEICEcom;
inline constexpr MessageKey ErrUplBoot = MessageKey::ErrUplBoot;
inline constexpr MessageKey ErrMassErase = MessageKey::ErrMassErase;
inline constexpr MessageKey ErrPageProgram = MessageKey::ErrPageProgram;
inline constexpr MessageKey ErrBootFile = MessageKey::ErrBootFile;
inline constexpr MessageKey ErrFlashFile = MessageKey::ErrFlashFile;
inline constexpr MessageKey ErrDravin = MessageKey::ErrDravin;
inline constexpr MessageKey ErrInterrupted = MessageKey::ErrInterrupted;
inline constexpr MessageKey ErrCommandInterrupted = MessageKey::ErrCommandInterrupted;
}  // namespace msg

}  // namespace tarnel

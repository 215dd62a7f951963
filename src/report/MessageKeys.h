#pragma once
// The message keys of reportList as named constants, so that a mistyped key does not
// compile. ReportError still takes any text: an unknown key shows nothing.

namespace tarnel::msg {

inline constexpr const char* ErrEICEcom = "ErrEICEcom";
inline constexpr const char* ErrUplBoot = "ErrUplBoot";
inline constexpr const char* ErrMassErase = "ErrMassErase";
inline constexpr const char* ErrPageProgram = "ErrPageProgram";
inline constexpr const char* ErrBootFile = "ErrBootFile";
inline constexpr const char* ErrFlashFile = "ErrFlashFile";
inline constexpr const char* ErrDravin = "ErrDravin";

}  // namespace tarnel::msg

#pragma once
// A failing platform operation (a control property, a dialog, a file operation) raises a
// run-time error with the classic number and a description in Chinese.
#include <cstdint>

#include "platform/Text.h"

namespace tarnwick {

struct RunTimeError {
    int32_t number;
    Text description;
};

namespace error {
inline constexpr int32_t Overflow = 6;
inline constexpr int32_t OutOfMemory = 7;
inline constexpr int32_t DeviceIo = 57;
inline constexpr int32_t DiskFull = 61;
inline constexpr int32_t DeviceUnavailable = 68;
inline constexpr int32_t PermissionDenied = 70;
inline constexpr int32_t DiskNotReady = 71;
inline constexpr int32_t FileNotFound = 53;
inline constexpr int32_t InvalidPropertyValue = 380;
inline constexpr int32_t PathFileAccess = 75;
inline constexpr int32_t PathNotFound = 76;
}  // namespace error

// The error with its number's usual description.
RunTimeError MakeError(int32_t number);

}  // namespace tarnwick

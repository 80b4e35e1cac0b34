#pragma once
// The program holds all text as UTF-16.
#include <string>
#include <string_view>

namespace tarnwick {

using Text = std::u16string;
using TextView = std::u16string_view;

// The two halves of a character beyond the first 65,536, which no cut may part.
inline constexpr bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c < 0xDC00;
}
inline constexpr bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c < 0xE000;
}

#ifdef _WIN32
inline constexpr char16_t kSeparator = u'\\';
#else
inline constexpr char16_t kSeparator = u'/';
#endif

}  // namespace tarnwick

#pragma once
// The program holds all text as UTF-16.
#include <string>
#include <string_view>

namespace tarnwick {

using Text = std::u16string;
using TextView = std::u16string_view;

#ifdef _WIN32
inline constexpr char16_t kSeparator = u'\\';
#else
inline constexpr char16_t kSeparator = u'/';
#endif

}  // namespace tarnwick

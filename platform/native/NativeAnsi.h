#pragma once
// Code page 936, the native build's ANSI code page, converted a character at a time from a
// table that iconv fills as characters are first met: no iconv call for each text.
#include <cstddef>
#include <optional>
#include <string_view>

#include "platform/Text.h"

namespace tarnwick::native {

inline constexpr uint32_t kAnsiCodePage = 936;

// `text` in code page 936 written to `out`, which has room for two bytes a unit: how many
// bytes, or nothing when the code page can't hold every character so that the bytes turn
// back into just `text`.
std::optional<size_t> ToAnsiReversibly(TextView text, char* out);

// Bytes that ToAnsiReversibly wrote, back to their text.
void AppendFromAnsi(std::string_view bytes, Text& out);

}  // namespace tarnwick::native

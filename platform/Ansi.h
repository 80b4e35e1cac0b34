#pragma once
// The system's ANSI code page, for the saved listing.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Text.h"

namespace tarnwick {

inline constexpr uint32_t kUtf8CodePage = 65001;  // Windows' "Unicode UTF-8" option

// The system's ANSI code page. Natively the program stands in for a Chinese Windows: 936.
uint32_t AnsiCodePage();

// Makes ready what converting to the ANSI code page takes: empty when it is, else why not
// in the system's words (natively iconv's tables, which need descriptors and memory to
// load). A listing made without it would change its encoding without a word.
Text LoadAnsiCodePage();

// The text in `codePage`, or nothing when the code page cannot hold every character
// exactly (no look-alikes, no "?", no replacement character).
std::optional<std::string> ToCodePageExactly(TextView text, uint32_t codePage);

// UTF-8 for text that the code page cannot hold.
std::string ToUtf8(TextView text);

}  // namespace tarnwick

#pragma once
// The system's ANSI code page, for the saved listing.
#include <optional>
#include <string>

#include "platform/Text.h"

namespace tarnwick {

// The text in the ANSI code page, or nothing when the code page cannot hold every
// character exactly (no look-alikes, no "?").
std::optional<std::string> ToAnsiExactly(TextView text);

// UTF-8 for text that the code page cannot hold.
std::string ToUtf8(TextView text);

}  // namespace tarnwick

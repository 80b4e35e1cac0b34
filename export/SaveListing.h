#pragma once
// The listing as a text file: the bytes a save writes, whoever holds the lines.
#include <cstdint>

#include "platform/Controls.h"
#include "platform/FileSystem.h"

namespace tarnwick {

enum class ListingEncoding { CodePage, Utf8, Utf16 };

// The listing `txtResult` holds, in the first encoding that holds it exactly: the ANSI code
// page `ansiCodePage`, else UTF-8 with a byte-order mark, else UTF-16 LE with one.
ListingEncoding WriteListing(const ResultBox& txtResult, uint32_t ansiCodePage, FileWriter& file);

}  // namespace tarnwick

#pragma once
// The records of a batch that the system's directory call fills (FILE_FULL_DIR_INFORMATION
// on Windows), read from the batch's bytes alone: both builds compile it, so that it is
// fuzzed natively too.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace tarnwick {

struct DirectoryRecord {
    size_t next;          // bytes from this record to the next; 0 for the batch's last
    uint32_t attributes;  // as LinkAttributes leaves them
    size_t nameLength;    // in code units, from kDirectoryNameAt on
};
inline constexpr size_t kDirectoryNameAt = 68;

// Windows marks as reparse points many entries that are no links: cloud files' placeholders
// (a whole synced tree), compressed (WOF) and deduplicated files, app execution aliases.
// Only a name surrogate (symbolic link, junction, mount point) leads elsewhere, so only it
// keeps the link bit. A reparse point whose tag the file system doesn't tell (0, never a
// real tag: Wine's links to the host's folders) stays a link.
inline uint32_t LinkAttributes(uint32_t attributes, uint32_t reparseTag) {
    constexpr uint32_t kNameSurrogate = 0x20000000;
    if (reparseTag == 0 || (reparseTag & kNameSurrogate)) return attributes;
    return attributes & ~attr::Link;
}

// The record at `at` of a batch of `filled` bytes (aligned as new aligns it), when the
// batch holds all of it and the record starts at an even offset.
std::optional<DirectoryRecord> ReadDirectoryRecord(const std::byte* batch, size_t filled,
                                                   size_t at);

// The record's size (EndOfFile) and last-write time, read only where they are asked for.
struct DirectoryRecordDetails {
    uint64_t size;
    int64_t lastWrite;
};
DirectoryRecordDetails ReadDirectoryRecordDetails(const std::byte* batch, size_t at);

inline TextView DirectoryRecordName(const std::byte* batch, size_t at, const DirectoryRecord& r) {
    return TextView(reinterpret_cast<const char16_t*>(batch + at + kDirectoryNameAt), r.nameLength);
}

}  // namespace tarnwick

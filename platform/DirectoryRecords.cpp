#include "platform/DirectoryRecords.h"

#include <cstring>

namespace tarnwick {
namespace {

// Where FILE_FULL_DIR_INFORMATION holds what the listing needs: NextEntryOffset,
// FileAttributes, FileNameLength (bytes), EaSize (a reparse point's tag); the name follows.
constexpr size_t kNextAt = 0, kAttributesAt = 56, kNameBytesAt = 60, kTagAt = 64;
constexpr size_t kLastWriteAt = 24, kEndOfFileAt = 40;

uint32_t Field(const std::byte* record, size_t offset) {
    uint32_t value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

template <typename T>
T Wide(const std::byte* record, size_t offset) {
    T value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

}  // namespace

// ReadDirectoryRecord found the record whole, so both fields lie in the batch.
DirectoryRecordDetails ReadDirectoryRecordDetails(const std::byte* batch, size_t at) {
    return {Wide<uint64_t>(batch + at, kEndOfFileAt), Wide<int64_t>(batch + at, kLastWriteAt)};
}

std::optional<DirectoryRecord> ReadDirectoryRecord(const std::byte* batch, size_t filled,
                                                   size_t at) {
    if (at > filled || filled - at < kDirectoryNameAt) return std::nullopt;
    // The system aligns records to 8 bytes; a name at an odd offset can't be read in place.
    if (at % alignof(char16_t) != 0) return std::nullopt;
    const std::byte* record = batch + at;
    const uint32_t nameBytes = Field(record, kNameBytesAt);
    if (nameBytes > filled - at - kDirectoryNameAt) return std::nullopt;
    const uint32_t attributes = Field(record, kAttributesAt);
    const uint32_t tag = attributes & attr::Link ? Field(record, kTagAt) : 0;
    return DirectoryRecord{Field(record, kNextAt), LinkAttributes(attributes, tag),
                           nameBytes / sizeof(char16_t)};
}

}  // namespace tarnwick

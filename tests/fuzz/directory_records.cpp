// A batch of directory records as the system's directory call fills it (Windows), read as
// the folder reader reads it, against the layout read a byte at a time.
#include <vector>

#include "platform/DirectoryRecords.h"
#include "tests/fuzz/FuzzText.h"

namespace tarnwick::fuzz {
namespace {

struct Entry {
    uint32_t attributes;
    Text name;
    uint64_t size, lastWrite;
    friend bool operator==(const Entry&, const Entry&) = default;
};

uint32_t Little(const std::byte* p) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | std::to_integer<uint32_t>(p[i]);
    return v;
}

uint64_t Little64(const std::byte* p) {
    return uint64_t{Little(p + 4)} << 32 | Little(p);
}

// FILE_FULL_DIR_INFORMATION: NextEntryOffset at 0, LastWriteTime at 24, EndOfFile at 40,
// FileAttributes at 56, FileNameLength at 60, EaSize at 64 (a reparse point's tag), the name
// at 68; a record the batch does not hold whole, or at an odd offset, ends it. A reparse
// point (0x400) is a link when its tag is a name surrogate (bit 29) or not told (0).
uint32_t Attributes(const std::byte* r) {
    const uint32_t a = Little(r + 56), tag = Little(r + 64);
    return a & 0x400 && tag != 0 && !(tag & 0x20000000) ? a & ~0x400u : a;
}

std::vector<Entry> ModelEntries(const std::vector<std::byte>& batch) {
    std::vector<Entry> entries;
    for (size_t at = 0; at + 68 <= batch.size() && at % 2 == 0;) {
        const std::byte* r = batch.data() + at;
        const uint64_t nameBytes = Little(r + 60), units = nameBytes / 2;
        if (at + 68 + nameBytes > batch.size()) break;
        Text name;
        for (size_t i = 0; i < units; ++i)
            name += static_cast<char16_t>(std::to_integer<int>(r[68 + 2 * i]) |
                                          std::to_integer<int>(r[69 + 2 * i]) << 8);
        entries.push_back({Attributes(r), name, Little64(r + 40), Little64(r + 24)});
        if (Little(r) == 0) break;
        at += Little(r);
    }
    return entries;
}

}  // namespace
}  // namespace tarnwick::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tarnwick;
    using namespace tarnwick::fuzz;
    // In a buffer of its own, aligned as the reader's is.
    const std::vector<std::byte> batch(reinterpret_cast<const std::byte*>(data),
                                       reinterpret_cast<const std::byte*>(data) + size);
    std::vector<Entry> entries;
    for (size_t at = 0;;) {
        const auto record = ReadDirectoryRecord(batch.data(), batch.size(), at);
        if (!record) break;
        const DirectoryRecordDetails d = ReadDirectoryRecordDetails(batch.data(), at);
        entries.push_back({record->attributes, Text(DirectoryRecordName(batch.data(), at, *record)),
                           d.size, static_cast<uint64_t>(d.lastWrite)});
        if (record->next == 0) break;
        at += record->next;
    }
    FUZZ_CHECK(entries == ModelEntries(batch));
    return 0;
}

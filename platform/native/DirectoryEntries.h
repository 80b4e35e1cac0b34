#pragma once
// The entries of a batch that getdents64 fills, read from the batch's bytes alone, so that
// a record that is not whole ends the folder rather than a read past the batch.
#include <cstddef>
#include <optional>

namespace tarnwick::native {

struct DirectoryEntry {
    const char* name;  // in the batch, NUL-terminated
    unsigned char type;
};

// The entry at `at` of a batch of `used` bytes, with `at` moved past it; nothing, and `at`
// moved to the end, where no whole entry starts there.
std::optional<DirectoryEntry> NextDirectoryEntry(const char* batch, size_t used, size_t& at);

}  // namespace tarnwick::native

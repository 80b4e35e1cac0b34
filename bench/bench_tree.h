#pragma once
// A tree of folders and files shaped like a user's documents, for the benchmarks.
#include <cstddef>
#include <string>

#include "platform/Text.h"

namespace tarnwick::bench {

// Makes about `entries` folders and files under `root` (which must not exist yet);
// gives the number made.
size_t BuildTree(const Text& root, size_t entries);
// The same, shaped as a user's documents are: folders of 5 to 20 files, deep chains and
// wide folders, a few folders of thousands of files, long names, some of them Chinese.
size_t BuildRealisticTree(const Text& root, size_t entries);
// Makes one folder of `entries` files, the case where a folder's own enumeration is long.
size_t BuildFlat(const Text& root, size_t entries);
void RemoveTree(const Text& root);

// A fresh folder name in the system's temporary folder.
Text TempRoot();

#ifdef _WIN32
// The reference walk: FindFirstFileExW with the fastest options, each folder's entries
// read to the end before its sub-folders; gives the number of entries below `folder`
// (which ends in a backslash).
size_t BareWalk(const std::wstring& folder);
// The same tree read by `threads` threads at once, in no order, each folder by whichever
// thread is free: the least time any walk in one process can take on this machine.
size_t ParallelBareWalk(const std::wstring& folder, unsigned threads);
#endif

}  // namespace tarnwick::bench

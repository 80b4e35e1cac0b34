#pragma once
// A tree of folders and files shaped like a user's documents, for the benchmarks.
#include <cstddef>
#include <string>

#include "platform/Text.h"

namespace tarnwick::bench {

// Makes about `entries` folders and files under `root` (which must not exist yet);
// gives the number made.
size_t BuildTree(const Text& root, size_t entries);
void RemoveTree(const Text& root);

// A fresh folder name in the system's temporary folder.
Text TempRoot();

}  // namespace tarnwick::bench

#pragma once
// A tree shaped like a real disk's, for timing a listing against `find`: per 10^6 entries
// about 64,400 folders, most holding 5 to 20 files, some wide (a hundred sub-folders or
// more) and some deep (chains of 20 and more), a few holding 1,000 to 8,000 files; long
// names, a third of them Chinese, so that a full-path line averages about 180 characters
// under a root of about 30. The same arguments always make the same tree.
#include <cstddef>
#include <filesystem>

namespace tarnwick::bench {

struct RealisticShape {
    size_t entries = 0, folders = 0, deepest = 0, largestFolder = 0;
    double meanLine = 0;  // characters in a full-path line, without its line end
};

// What `BuildRealistic` makes under `root`, without making it.
RealisticShape PlanRealistic(const std::filesystem::path& root, size_t entries);
// Makes it; `root` must not exist yet.
RealisticShape BuildRealistic(const std::filesystem::path& root, size_t entries);

}  // namespace tarnwick::bench

// Builds a benchmark tree natively, where making a million files takes seconds rather
// than the many minutes it takes through Wine; window_bench then reads it under Wine.
//   make_tree [--flat|--realistic] FOLDER ENTRIES
//     --flat: one folder of ENTRIES files; --realistic: a tree shaped like a real disk's
//     (realistic_tree.h), its shape told on the error stream
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "bench/bench_tree.h"
#include "bench/realistic_tree.h"

int main(int argc, char** argv) {
    const std::string_view kind = argc == 4 ? argv[1] : "";
    if (argc != 3 && kind != "--flat" && kind != "--realistic") {
        std::fprintf(stderr, "usage: make_tree [--flat|--realistic] FOLDER ENTRIES\n");
        return 2;
    }
    const std::filesystem::path folder(argv[argc - 2]);
    const size_t entries = std::strtoul(argv[argc - 1], nullptr, 10);
    size_t made;
    if (kind == "--realistic") {
        const auto s = tarnwick::bench::BuildRealistic(folder, entries);
        std::fprintf(stderr,
                     "%zu entries, %zu folders, %zu levels at most, %zu files in the largest "
                     "folder, %.1f characters a line\n",
                     s.entries, s.folders, s.deepest, s.largestFolder, s.meanLine);
        made = s.entries;
    } else {
        made = kind == "--flat" ? tarnwick::bench::BuildFlat(folder.u16string(), entries)
                                : tarnwick::bench::BuildTree(folder.u16string(), entries);
    }
    std::printf("%zu\n", made);
    return 0;
}

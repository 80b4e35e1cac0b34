// Builds a benchmark tree natively, where making a million files takes seconds rather
// than the many minutes it takes through Wine; window_bench then reads it under Wine.
//   make_tree [--flat] FOLDER ENTRIES      (--flat: one folder of ENTRIES files)
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "bench/bench_tree.h"

int main(int argc, char** argv) {
    const bool flat = argc == 4 && std::string_view(argv[1]) == "--flat";
    if (argc != 3 && !flat) {
        std::fprintf(stderr, "usage: make_tree [--flat] FOLDER ENTRIES\n");
        return 2;
    }
    const std::filesystem::path folder(argv[argc - 2]);
    const size_t entries = std::strtoul(argv[argc - 1], nullptr, 10);
    const size_t made = flat ? tarnwick::bench::BuildFlat(folder.u16string(), entries)
                             : tarnwick::bench::BuildTree(folder.u16string(), entries);
    std::printf("%zu\n", made);
    return 0;
}

#pragma once
// The real file system, with a count of the queries the walk makes of it, and failures
// and delays made to order for paths ending in a given name (unreadable folders,
// unreadable entries, folders slow to open).
#include <set>

#include "platform/FileSystem.h"

namespace tarnwick::testing {

class CountingFileSystem : public FileSystem {
  public:
    explicit CountingFileSystem(FileSystem& real) : real_(real) {}

    using FileSystem::FindFirst;
    TextView FindFirst(TextView folder, int32_t mask, const Waiting& waiting) override {
        ++enumerations;
        const TextView name = folder.substr(0, folder.size() - 1);
        if (Fails(unreadableFolders, name)) {
            real_.EndFind();  // abandons the enumeration in progress, as a start does
            return {};
        }
        // A slow folder keeps the caller waiting twice before it opens, unless given up.
        if (Fails(slowFolders, name)) {
            for (int i = 0; i < 2; ++i) {
                if (!waiting || !waiting()) continue;
                real_.EndFind();
                return {};
            }
        }
        // The real opener waits by the clock, as long as a busy machine makes it: here the
        // waiting is only what slowFolders orders, so the pumps counted are the walk's own.
        return real_.FindFirst(folder, mask, {});
    }
    TextView FindNext() override { return real_.FindNext(); }
    void EndFind() override { real_.EndFind(); }
    std::optional<uint32_t> EnumeratedAttributes() override { return real_.EnumeratedAttributes(); }
    Text LiteralFolder(TextView folder) override { return real_.LiteralFolder(folder); }
    std::optional<uint32_t> GetAttributes(TextView path) override {
        ++attributeQueries;
        if (Fails(unreadableEntries, path)) return std::nullopt;
        return real_.GetAttributes(path);
    }
    void WriteReplacing(TextView path, const std::function<void(FileWriter&)>& write) override {
        real_.WriteReplacing(path, write);
    }
    std::optional<FolderId> Identity(TextView path) override {
        ++identityQueries;
        return real_.Identity(path);
    }

    int enumerations = 0;
    int attributeQueries = 0;
    int identityQueries = 0;
    std::set<Text> unreadableFolders;
    std::set<Text> unreadableEntries;
    std::set<Text> slowFolders;

  private:
    static bool Fails(const std::set<Text>& names, TextView path) {
        const size_t slash = path.find_last_of(kSeparator);
        return names.contains(Text(slash == TextView::npos ? path : path.substr(slash + 1)));
    }
    FileSystem& real_;
};

}  // namespace tarnwick::testing

#pragma once
// The real file system, with a count of the queries the walk makes of it.
#include "platform/FileSystem.h"

namespace tarnwick::testing {

class CountingFileSystem : public FileSystem {
public:
    explicit CountingFileSystem(FileSystem& real) : real_(real) {}

    TextView FindFirst(TextView folder, int32_t mask) override {
        ++enumerations;
        return real_.FindFirst(folder, mask);
    }
    TextView FindNext() override { return real_.FindNext(); }
    std::optional<uint32_t> EnumeratedAttributes() override { return real_.EnumeratedAttributes(); }
    std::optional<uint32_t> GetAttributes(TextView path) override {
        ++attributeQueries;
        return real_.GetAttributes(path);
    }
    std::optional<FolderId> Identity(TextView path) override {
        ++identityQueries;
        return real_.Identity(path);
    }

    int enumerations = 0;
    int attributeQueries = 0;
    int identityQueries = 0;

private:
    FileSystem& real_;
};

}  // namespace tarnwick::testing

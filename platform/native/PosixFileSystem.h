#pragma once
// The file system of a POSIX system. A name beginning with "." counts as hidden
// (except "." and ".." themselves); nothing counts as system.
#include <dirent.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/native/DirectoryEntries.h"

namespace tarnwick::native {

class PosixFileSystem : public FileSystem {
  public:
    // Where a directory entry comes with its type, the program takes it from there; tests
    // ask stat instead, as for a file system that gives no types, to see the same answers.
    struct Options {
        bool entryTypes = true;
    };
    PosixFileSystem() = default;
    explicit PosixFileSystem(Options options) : options_(options) {}
    ~PosixFileSystem() override {
        Close();
        KeepReadFoldersOpen(false);
    }

    using FileSystem::FindFirst;
    TextView FindFirst(TextView folder, int32_t mask, const Waiting& waiting) override;
    TextView FindNext() override;
    bool OwnFailure() const override { return ownFailure_; }
    Text FolderFailure() const override;
    void EndFind() override { Close(); }
    void KeepReadFoldersOpen(bool keep) override;
    std::unique_ptr<FileSystem> NewReader() override { return std::make_unique<PosixFileSystem>(); }
    bool IsRemote(TextView folder) override;
    std::optional<uint32_t> EnumeratedAttributes() override;
    std::optional<EntryDetails> EnumeratedDetails() override;
    Text FullPath(TextView path) override;  // PosixFullPath.cpp
    std::optional<uint32_t> GetAttributes(TextView path) override;
    std::optional<FolderId> Identity(TextView path) override;
    using FileSystem::WriteReplacing;
    // Nothing holds a file here as Windows' scanners do: the waits are never needed.
    void WriteReplacing(TextView path, const std::function<void(FileWriter&)>& content,
                        const HeldFileWaits& waits) override;
    bool WriteReplacingUnseen(TextView path,
                              const std::function<void(FileWriter&)>& content) override;

  private:
    void Close();
    bool IsLastEntry(TextView path) const;
    std::optional<uint32_t> EntryAttributes() const;
    std::optional<DirectoryEntry> ReadEntry();
    int OpenFolder(const std::string& path);
    void DropParentsOutside(const std::string& path);

    Options options_;
    int dir_ = -1;  // the folder being enumerated
    // Its entries as the kernel gives them, a batch at a time; kept from folder to folder.
    std::unique_ptr<char[]> batch_;
    size_t batchUsed_ = 0;
    size_t batchAt_ = 0;
    int32_t mask_ = 0;
    bool ownFailure_ = false;
    int failure_ = 0;    // errno of the last folder's open or read, or 0
    bool root_ = false;  // the root gives no "." and "..", as a drive root doesn't
    Text folder_;        // the folder being enumerated, as the walk gave it
    const char* entry_ =
        nullptr;  // the last name given, as bytes: in the batch, till the next read
    unsigned char type_ = DT_UNKNOWN;
    Text name_;                                          // the same name as text
    std::optional<std::optional<uint32_t>> attributes_;  // of the last entry, once read
    // Folders read lately, each inside the one before, still open while keepParents_: the
    // kernel then looks up one name for a sub-folder rather than its whole path.
    struct Parent {
        std::string path;  // ends in '/'
        int fd;
    };
    bool keepParents_ = false;
    std::vector<Parent> parents_;
    std::string folderBytes_;  // the folder being enumerated
};

}  // namespace tarnwick::native

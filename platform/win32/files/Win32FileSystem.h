#pragma once
// The Windows file system through the wide-character API, at any path length.
#include <windows.h>

#include <memory>

#include "platform/FileSystem.h"
#include "platform/win32/files/FolderOpener.h"
#include "platform/win32/files/FolderReader.h"

namespace tarnwick::win32 {

class Win32FileSystem : public FileSystem {
  public:
    explicit Win32FileSystem(FolderReader::Options reading = {})
        : reading_(FolderReader::WithCalls(std::move(reading))) {}
    ~Win32FileSystem() override { Close(); }

    using FileSystem::FindFirst;
    TextView FindFirst(TextView folder, int32_t mask, const Waiting& waiting) override;
    TextView FindNext() override;
    bool OwnFailure() const override { return reader_ && reader_->OwnFailure(); }
    Text FolderFailure() const override;
    void EndFind() override { Close(); }
    // A reader's thread waits in a slow open itself: it answers no window, and another
    // thread to open for it would only double the threads reading ahead.
    std::unique_ptr<FileSystem> NewReader() override {
        auto reader = std::make_unique<Win32FileSystem>(reading_);
        reader->openHere_ = true;
        return reader;
    }
    bool IsRemote(TextView folder) override;
    std::optional<uint32_t> EnumeratedAttributes() override;
    std::optional<EntryDetails> EnumeratedDetails() override;
    Text LiteralFolder(TextView folder) override;
    Text FullPath(TextView path) override;
    std::optional<uint32_t> GetAttributes(TextView path) override;
    std::optional<FolderId> Identity(TextView path) override;
    using FileSystem::WriteReplacing;
    void WriteReplacing(TextView path, const std::function<void(FileWriter&)>& content,
                        const HeldFileWaits& waits) override;

  private:
    void Close();
    bool Open() const { return reader_ && reader_->HasEntry(); }
    bool Admitted() const;
    bool IsLastEntry(TextView path) const;

    FolderReader::Options reading_;
    FolderOpener opener_;
    std::unique_ptr<FolderReader> reader_;  // with its buffer, lent to the opener while it opens
    int32_t mask_ = 0;
    bool root_ = false;
    bool openHere_ = false;  // on the calling thread, not the opener's
    Text folder_;
};

}  // namespace tarnwick::win32

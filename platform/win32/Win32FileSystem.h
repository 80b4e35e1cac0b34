#pragma once
// The Windows file system through the wide-character API, at any path length.
#include <windows.h>

#include "platform/FileSystem.h"
#include "platform/win32/FolderOpener.h"

namespace tarnwick::win32 {

class Win32FileSystem : public FileSystem {
  public:
    ~Win32FileSystem() override { Close(); }

    using FileSystem::FindFirst;
    TextView FindFirst(TextView folder, int32_t mask, const Waiting& waiting) override;
    TextView FindNext() override;
    void EndFind() override { Close(); }
    std::unique_ptr<FileSystem> NewReader() override { return std::make_unique<Win32FileSystem>(); }
    std::optional<uint32_t> EnumeratedAttributes() override;
    Text LiteralFolder(TextView folder) override;
    std::optional<uint32_t> GetAttributes(TextView path) override;
    std::optional<FolderId> Identity(TextView path) override;
    void WriteReplacing(TextView path, const std::function<void(FileWriter&)>& write) override;

  private:
    void Close();
    bool Admitted() const;
    TextView Name() const;
    bool IsLastEntry(TextView path) const;

    FolderOpener opener_;
    HANDLE find_ = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data_{};
    int32_t mask_ = 0;
    bool root_ = false;
    Text folder_;
};

}  // namespace tarnwick::win32

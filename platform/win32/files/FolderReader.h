#pragma once
// A folder's entries read a batch at a time into one buffer used again for every folder:
// NtQueryDirectoryFile, which FindFirstFileExW calls too, without the copy of each entry
// into a WIN32_FIND_DATAW. A folder the batch call can't read (some network file systems
// refuse it) is read through FindFirstFileExW instead, with the same entries in the same
// order.
#include <windows.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "platform/DirectoryRecords.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/win32/files/FolderOpener.h"

namespace tarnwick::win32 {

// The system's calls that tell a folder's entries and an entry's attributes. The program
// makes the system's own; a test puts in calls that mark entries as Windows marks them
// (reparse tags, which Wine never gives).
class EntryCalls {
  public:
    virtual ~EntryCalls() = default;
    // NtQueryDirectoryFile's next batch of FILE_FULL_DIR_INFORMATION: an NTSTATUS.
    virtual long ReadBatch(HANDLE folder, void* batch, ULONG bytes, size_t& filled);
    virtual HANDLE FindFirst(const Text& pattern, WIN32_FIND_DATAW& data);  // FindFirstFileExW
    virtual bool FindNext(HANDLE find, WIN32_FIND_DATAW& data);             // FindNextFileW
    virtual DWORD Attributes(const Text& path);                             // GetFileAttributesW
};
std::shared_ptr<EntryCalls> SystemCalls();

// A reparse point's tag, which the find data holds where the batch does; 0 for any other
// entry.
inline DWORD ReparseTag(const WIN32_FIND_DATAW& data) {
    return data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT ? data.dwReserved0 : 0;
}

class FolderReader : public FolderOpener::Job {
  public:
    // The program reads 64 KB batches, a size every SMB server takes; tests force the
    // fallback, or small batches, to see that each gives the same entries.
    struct Options {
        bool batches = true;
        size_t batchBytes = 64 * 1024;
        std::shared_ptr<EntryCalls> calls = nullptr;  // shared with the readers; null: the system's
    };

    explicit FolderReader(Options options) : options_(WithCalls(std::move(options))) {}
    ~FolderReader() override { Close(); }

    // What Open reads: FindFirstFileExW's pattern, and the folder it names in the literal
    // form (empty: only the pattern can be read).
    void Aim(Text pattern, Text folder);
    void Open() override;  // may take long: the opener runs it on its worker
    bool Next();           // false at the end, or on any failure, and then closed
    void Close();

    bool HasEntry() const { return handle_ != INVALID_HANDLE_VALUE; }
    // The last open or read failed for want of handles or memory, not because of the folder.
    bool OwnFailure() const { return ownFailure_; }
    // The system's error code of a failure of the last open or read; 0 at the end.
    DWORD Failure() const { return failure_; }
    TextView Name() const;
    DWORD Attributes() const;      // the link bit for links alone (LinkAttributes)
    EntryDetails Details() const;  // of the current entry, as its batch or find data holds them

    static Options WithCalls(Options options) {
        if (!options.calls) options.calls = SystemCalls();
        return options;
    }

  private:
    bool OpenBatches();
    void OpenOrFail();
    long ReadBatch();  // an NTSTATUS
    void Failed(DWORD code);
    void FailedBatch(long status);
    bool TakeEntry();

    Options options_;
    Text pattern_;
    Text folder_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    bool finding_ = false;  // handle_ is FindFirstFileExW's
    bool ownFailure_ = false;
    DWORD failure_ = 0;
    WIN32_FIND_DATAW data_{};
    std::vector<std::byte> buffer_;
    size_t filled_ = 0;  // bytes of the last batch
    size_t at_ = 0;      // where the current entry starts
    DirectoryRecord record_{};
};

}  // namespace tarnwick::win32

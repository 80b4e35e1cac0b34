#pragma once
// What the folder walk, the save and the window's folder choice need from the file system.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/HeldFile.h"
#include "platform/Text.h"

namespace tarnwick {

// Attribute bits, with their Windows values on every platform.
namespace attr {
inline constexpr uint32_t ReadOnly = 0x1;
inline constexpr uint32_t Hidden = 0x2;
inline constexpr uint32_t System = 0x4;
inline constexpr uint32_t Folder = 0x10;
// A symbolic link, junction or mount point: Windows' reparse-point bit, kept only where
// the entry leads elsewhere (not for a cloud file's placeholder, say).
inline constexpr uint32_t Link = 0x400;
}  // namespace attr

// A file's time: whole seconds since 1970-01-01 UTC, as time_t counts them, and the 100-ns
// units past them (0 to 9,999,999), as Windows counts. Every time a time_t holds fits, and
// every count of 100-ns units since 1601 (Windows' own, which ends in the year 30828), with
// nothing to overflow on the way: a host's file may carry any of them.
struct FileTime {
    int64_t seconds = 0;
    uint32_t ticks = 0;
    friend bool operator==(const FileTime&, const FileTime&) = default;
};

// Windows' count of 100-ns units since 1601-01-01 UTC.
constexpr FileTime FromWindowsTicks(int64_t ticks) {
    constexpr int64_t kPerSecond = 10'000'000;
    constexpr int64_t k1601To1970 = 11'644'473'600;  // seconds
    int64_t seconds = ticks / kPerSecond, rest = ticks % kPerSecond;
    if (rest < 0) {  // floored, so that the units past the second are never negative
        rest += kPerSecond;
        --seconds;
    }
    return {seconds - k1601To1970, static_cast<uint32_t>(rest)};
}

// What a folder's reading tells of one entry beside its name.
struct EntryDetails {
    uint32_t attributes = 0;  // the attr bits, read-only among them
    uint64_t size = 0;        // bytes
    FileTime lastWrite;       // UTC
};

// Identifies a folder however it is reached (through links too).
struct FolderId {
    uint64_t volume = 0;
    uint64_t file = 0;
    friend bool operator==(const FolderId&, const FolderId&) = default;
};

// The new content of a file, written a piece at a time. Both throw RunTimeError.
class FileWriter {
  public:
    virtual ~FileWriter() = default;
    virtual void Write(std::string_view bytes) = 0;
    virtual void Restart() = 0;  // drops what was written, to write the content afresh
    // The file being written, while it is made beside the one it will replace: a walk of
    // that folder meanwhile finds it. Empty when the content is written in place.
    virtual Text NewFilePath() const { return {}; }
};

// A writer to a file of the system's: every byte is written, however few each call takes.
class SystemFileWriter : public FileWriter {
  public:
    void Write(std::string_view bytes) final {
        for (size_t done = 0; done < bytes.size();) done += WriteSome(bytes.substr(done));
    }

  protected:
    // Writes a first part of `bytes` and gives its length (none only when the call was
    // interrupted), or throws the error.
    virtual size_t WriteSome(std::string_view bytes) = 0;
};

// The new content held whole in memory: for an output that can't take back what it was
// given, which then gets all of it or nothing.
class StringWriter : public FileWriter {
  public:
    void Write(std::string_view bytes) override { bytes_ += bytes; }
    void Restart() override { bytes_.clear(); }
    std::string bytes_;
};

// One enumeration at a time: FindFirst abandons the one in progress. A returned name
// stays valid until the next FindFirst or FindNext; the empty name means "no more"
// (and stands for any failure as well).
class FileSystem {
  public:
    FileSystem() = default;
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;
    virtual ~FileSystem() = default;

    // First entry of `folder` (ending in the separator) whose hidden, system and folder
    // bits are all within `mask`. Gives "." and ".." too, except in a drive root.
    // While a folder is slow to open, `waiting` runs now and then on the calling thread;
    // when it returns true the folder is given up and gives no entry.
    using Waiting = std::function<bool()>;
    virtual TextView FindFirst(TextView folder, int32_t mask, const Waiting& waiting) = 0;
    TextView FindFirst(TextView folder, int32_t mask) { return FindFirst(folder, mask, {}); }
    virtual TextView FindNext() = 0;
    // True when the empty name just given came from this instance's own want (no handle or
    // descriptor left, no memory) rather than from the folder: read elsewhere, or later,
    // the folder may give all its entries.
    virtual bool OwnFailure() const { return false; }
    // Why the folder of the last FindFirst gave no entry or ended early, in the system's
    // words; empty when it was read to its end (or given up).
    virtual Text FolderFailure() const { return {}; }

    // Another instance over the same files, for a thread of its own, so that folders can be
    // read ahead of the walk; null where that can't be done (the walk reads every folder).
    virtual std::unique_ptr<FileSystem> NewReader() { return nullptr; }

    // True when `folder` lies on a network drive, where reading waits on round trips rather
    // than on the processor.
    virtual bool IsRemote(TextView /*folder*/) { return false; }

    // Releases the enumeration in progress (a walk that stops leaves no folder open).
    virtual void EndFind() = 0;

    // While a walk runs, a folder read may stay open so that its sub-folders, read next,
    // open relative to it; false lets go of all of them.
    virtual void KeepReadFoldersOpen(bool /*keep*/) {}

    // The attributes that the enumeration returned with its last name, when it did.
    virtual std::optional<uint32_t> EnumeratedAttributes() = 0;
    // The size, last-write time and attributes of the last name given, asked only where a
    // listing shows them; nothing when they can't be read.
    virtual std::optional<EntryDetails> EnumeratedDetails() { return std::nullopt; }

    // The form of a walk's starting folder to which the walk appends the names it was
    // given, so that every call takes them literally wherever they lead. Windows' usual
    // path rules would drop a name's final dots and blanks ("same.\" would open "same\").
    virtual Text LiteralFolder(TextView folder) { return Text(folder); }

    // `path` as a full path: a relative one read against the process's current folder (on
    // Windows "\x" against its drive, "D:x" against D:'s current folder), as any program
    // reads a path it is given; a full path stays as given. What it names need not exist.
    virtual Text FullPath(TextView path) = 0;

    // Attribute query of a full path; nothing when the attributes can't be read.
    // A query for the entry just enumerated is answered without asking the disk again.
    virtual std::optional<uint32_t> GetAttributes(TextView path) = 0;

    // The folder that `path` leads to, following links.
    virtual std::optional<FolderId> Identity(TextView path) = 0;

    // Creates or replaces the file at `path` with what `content` writes. The old file is
    // replaced only once the new one is complete: a failure (or anything `content` throws)
    // leaves it as it was and nothing beside it. A pipe or a character device is written in
    // place, as a console is, where the system has them; anything else that is not a file is
    // refused. Where another program holds the file, or the new one beside it, for a moment,
    // each step is tried again as HeldFileRetry says, waiting through `waits` (natively
    // nothing holds a file so). Throws RunTimeError.
    virtual void WriteReplacing(TextView path, const std::function<void(FileWriter&)>& content,
                                const HeldFileWaits& waits) = 0;
    // The same, waiting on the steady clock without anything to answer.
    void WriteReplacing(TextView path, const std::function<void(FileWriter&)>& content) {
        WriteReplacing(path, content, HeldFileWaits{});
    }
    // The same, where the new file can be made so that no walk finds it while it is written
    // (a listing may then be written as its walk goes); false, having done nothing, where it
    // can't, or where `path` is not a file to replace.
    virtual bool WriteReplacingUnseen(TextView /*path*/,
                                      const std::function<void(FileWriter&)>& /*content*/) {
        return false;
    }
};

inline bool IsDotOrDotDot(TextView name) {
    return name == u"." || name == u"..";
}

// The real file system of the platform the program is built for.
std::unique_ptr<FileSystem> MakeFileSystem();

}  // namespace tarnwick

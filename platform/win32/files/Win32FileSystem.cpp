#include "platform/win32/files/Win32FileSystem.h"

#include <algorithm>
#include <string>

#include "platform/RunTimeError.h"
#include "platform/win32/GrowingPath.h"
#include "platform/win32/Wide.h"
#include "platform/win32/files/DriveKind.h"
#include "platform/win32/files/LongPath.h"

namespace tarnwick {

std::unique_ptr<FileSystem> MakeFileSystem() {
    return std::make_unique<win32::Win32FileSystem>();
}

namespace win32 {

void Win32FileSystem::Close() {
    if (reader_) reader_->Close();
}

// An entry is given only when each of its hidden, system and folder bits is in the mask.
bool Win32FileSystem::Admitted() const {
    constexpr DWORD kFiltered = attr::Hidden | attr::System | attr::Folder;
    if (reader_->Attributes() & kFiltered & ~static_cast<DWORD>(mask_)) return false;
    return !(root_ && IsDotOrDotDot(reader_->Name()));
}

namespace {

// The folder that FindFirstFileExW's pattern names, as the usual rules resolve it within
// the pattern (so "same.\*" and "same.\" need not name the same folder), in the literal
// form that the batch call then opens as it is. Empty where only the pattern will do.
Text FolderOf(TextView folder, const Text& pattern) {
    if (folder.empty() || (folder.back() != u'\\' && folder.back() != u'/')) return {};
    Text literal = LiteralPath(pattern);
    if (!literal.ends_with(u"\\*")) return {};
    literal.pop_back();
    return literal;
}

}  // namespace

TextView Win32FileSystem::FindFirst(TextView folder, int32_t mask, const Waiting& waiting) {
    Close();
    folder_.assign(folder);
    mask_ = mask;
    Text pattern = LongPath(folder) + u"*";
    Text literal = FolderOf(folder, pattern);
    // A root reached through ".." gives no "." and ".." either.
    root_ = IsDriveRoot(folder) || IsDriveRoot(literal);
    if (!reader_) reader_ = std::make_unique<FolderReader>(reading_);
    reader_->Aim(std::move(pattern), std::move(literal));
    reader_ = opener_.Run(std::move(reader_), openHere_ ? Waiting{} : waiting);
    if (!Open()) return {};
    if (Admitted()) return reader_->Name();
    return FindNext();
}

TextView Win32FileSystem::FindNext() {
    while (Open() && reader_->Next()) {
        if (Admitted()) return reader_->Name();
    }
    Close();
    return {};
}

// In the system's words, in its own language, without the line break it ends with.
Text Win32FileSystem::FolderFailure() const {
    const DWORD code = reader_ ? reader_->Failure() : 0;
    if (code == 0) return {};
    wchar_t words[512];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, words, 512, nullptr);
    while (n > 0 && (words[n - 1] == L'\r' || words[n - 1] == L'\n' || words[n - 1] == L' ')) --n;
    if (n == 0) return u"错误 " + Text(FromW(std::to_wstring(code).c_str()));
    return Text(FromW(words, n));
}

// A share in any of a path's forms, a drive mapped to one, a subst drive of a folder on one.
bool Win32FileSystem::IsRemote(TextView folder) {
    return IsOnNetwork(folder);
}

std::optional<uint32_t> Win32FileSystem::EnumeratedAttributes() {
    if (!Open()) return std::nullopt;
    return reader_->Attributes();
}

// The batch or the find data holds them with the name: no call of their own.
std::optional<EntryDetails> Win32FileSystem::EnumeratedDetails() {
    if (!Open()) return std::nullopt;
    return reader_->Details();
}

Text Win32FileSystem::LiteralFolder(TextView folder) {
    return LiteralPath(folder);
}

Text Win32FileSystem::FullPath(TextView path) {
    return FullyQualified(path);
}

bool Win32FileSystem::IsLastEntry(TextView path) const {
    if (!Open()) return false;
    const TextView name = reader_->Name();
    return path.size() == folder_.size() + name.size() && path.starts_with(folder_) &&
           path.ends_with(name);
}

std::optional<uint32_t> Win32FileSystem::GetAttributes(TextView path) {
    if (IsLastEntry(path)) return reader_->Attributes();
    const DWORD a = GetFileAttributesW(W(LongPath(path)));
    if (a == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return a;
}

std::optional<FolderId> Win32FileSystem::Identity(TextView path) {
    const HANDLE h =
        CreateFileW(W(LongPath(path)), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!ok) return std::nullopt;
    return FolderId{info.dwVolumeSerialNumber,
                    (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

namespace {

RunTimeError WriteError(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
            return MakeError(error::PathNotFound);
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return MakeError(error::DiskFull);
        case ERROR_NOT_READY:
            return MakeError(error::DiskNotReady);
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return MakeError(error::PermissionDenied);
        case ERROR_CRC:
        case ERROR_IO_DEVICE:
            return MakeError(error::DeviceIo);
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return MakeError(error::OutOfMemory);
        default:
            return MakeError(error::PathFileAccess);
    }
}

class HandleWriter : public SystemFileWriter {
  public:
    HandleWriter(HANDLE h, Text path) : h_(h), path_(std::move(path)) {}
    Text NewFilePath() const override { return path_; }
    void Restart() override {
        if (SetFilePointer(h_, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
            !SetEndOfFile(h_))
            throw WriteError(GetLastError());
    }

  private:
    size_t WriteSome(std::string_view bytes) override {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 24));
        DWORD written = 0;
        if (!WriteFile(h_, bytes.data(), chunk, &written, nullptr))
            throw WriteError(GetLastError());
        return written;
    }
    HANDLE h_;
    Text path_;
};

// The file that `target` leads to, by its final path: a file a link names is written
// through the link, which stays as the user made it. Asked of every target, since Wine
// shows a host's link to a file as a plain file.
Text FinalPath(const Text& target) {
    const HANDLE h =
        CreateFileW(W(target), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return target;
    std::wstring final;
    for (const DWORD form : {FILE_NAME_NORMALIZED, FILE_NAME_OPENED})
        if (final.empty()) final = FinalPathName(h, form | VOLUME_NAME_DOS);
    CloseHandle(h);
    if (final.empty()) return target;
    return Text(FromW(final.data(), final.size()));
}

// The new file is made beside the target under a short name of its own, so that it fits
// wherever the target's name fits.
HANDLE CreateBeside(const Text& target, Text& temp) {
    const size_t cut = target.find_last_of(u"\\/:");
    const Text folder = cut == Text::npos ? Text() : target.substr(0, cut + 1);
    static unsigned serial = GetTickCount() ^ GetCurrentProcessId();
    for (int tries = 0;; ++tries) {
        temp = folder + u"~tw";
        for (unsigned n = ++serial, i = 0; i < 8; ++i, n <<= 4)
            temp += u"0123456789abcdef"[n >> 28];
        temp += u".tmp";
        const HANDLE h = CreateFileW(W(temp), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        const DWORD code = GetLastError();
        if (h != INVALID_HANDLE_VALUE || code != ERROR_FILE_EXISTS || tries == 100) {
            if (h == INVALID_HANDLE_VALUE) throw WriteError(code);
            return h;
        }
    }
}

// Where the file system can't replace a file in place of another (some network file
// systems), the new file is moved over the old one instead.
bool ReplaceUnsupported(DWORD code) {
    return code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_FUNCTION ||
           code == ERROR_INVALID_PARAMETER || code == ERROR_CALL_NOT_IMPLEMENTED;
}

// The old file takes the new one's contents and keeps what the user set on it: its
// attributes, security, alternate streams and creation time. 0, or the error.
DWORD PutInPlace(const Text& temp, const Text& target, bool targetExists) {
    if (targetExists) {
        if (ReplaceFileW(W(target), W(temp), nullptr,
                         REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                         nullptr))
            return 0;
        // The old file may be gone by now (it vanished, or the replace stopped half-way
        // with the new file still under its own name): the new one is moved into place.
        const DWORD code = GetLastError();
        if (!ReplaceUnsupported(code) && code != ERROR_FILE_NOT_FOUND &&
            code != ERROR_UNABLE_TO_MOVE_REPLACEMENT)
            return code;
    }
    return MoveFileExW(W(temp), W(target), MOVEFILE_REPLACE_EXISTING) ? 0 : GetLastError();
}

// What ReplaceFileW keeps of the old file that a move would lose; put back where the file
// system (or Wine) replaced it by a plain move.
void KeepAttributesAndCreation(const Text& target, const WIN32_FILE_ATTRIBUTE_DATA& old) {
    // Not the archive mark: the contents are new, and a backup must see them.
    constexpr DWORD kSettable =
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    WIN32_FILE_ATTRIBUTE_DATA now{};
    if (!GetFileAttributesExW(W(target), GetFileExInfoStandard, &now)) return;
    if ((now.dwFileAttributes & kSettable) != (old.dwFileAttributes & kSettable))
        SetFileAttributesW(W(target), (now.dwFileAttributes & ~kSettable & ~FILE_ATTRIBUTE_NORMAL) |
                                          (old.dwFileAttributes & kSettable));
    if (CompareFileTime(&now.ftCreationTime, &old.ftCreationTime) == 0) return;
    const HANDLE h = CreateFileW(W(target), FILE_WRITE_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    SetFileTime(h, &old.ftCreationTime, nullptr, nullptr);
    CloseHandle(h);
}

}  // namespace

// Written completely beside the target first, then put in its place.
void Win32FileSystem::WriteReplacing(TextView path,
                                     const std::function<void(FileWriter&)>& content) {
    Text target = LongPath(path);
    WIN32_FILE_ATTRIBUTE_DATA old{};
    bool exists = GetFileAttributesExW(W(target), GetFileExInfoStandard, &old);
    if (exists) {
        target = FinalPath(target);
        exists = GetFileAttributesExW(W(target), GetFileExInfoStandard, &old);
    }
    if (exists && (old.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        throw MakeError(error::PathFileAccess);  // a folder, or a read-only file
    Text temp;
    const HANDLE h = CreateBeside(target, temp);
    try {
        HandleWriter writer(h, temp);
        content(writer);
    } catch (...) {
        CloseHandle(h);
        DeleteFileW(W(temp));
        throw;
    }
    // On the disk before it takes the old file's place: a crash then leaves one or the other.
    DWORD failure = FlushFileBuffers(h) ? 0 : GetLastError();
    if (!CloseHandle(h) && !failure) failure = GetLastError();
    if (!failure) failure = PutInPlace(temp, target, exists);
    if (failure) {
        // Where a failed replace took the old file away, the new one is the only copy left.
        if (!exists || GetFileAttributesW(W(target)) != INVALID_FILE_ATTRIBUTES)
            DeleteFileW(W(temp));
        throw WriteError(failure);
    }
    if (exists) KeepAttributesAndCreation(target, old);
}

}  // namespace win32
}  // namespace tarnwick

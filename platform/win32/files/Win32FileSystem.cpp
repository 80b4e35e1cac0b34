#include "platform/win32/files/Win32FileSystem.h"

#include <algorithm>
#include <string>

#include "platform/RunTimeError.h"
#include "platform/win32/GrowingPath.h"
#include "platform/win32/Wide.h"
#include "platform/win32/files/DriveKind.h"
#include "platform/win32/files/LongPath.h"
#include "platform/win32/files/WriteReplacing.h"

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

namespace {

// A reparse point's tag, as its folder's entry for it holds it: asking the entry itself would
// open it, and opening a cloud file's placeholder may download it. The path as the usual
// rules resolve it, as the attribute query read it, without a final separator, which no
// entry's name holds. 0 where it can't be told.
DWORD ReparseTagOf(EntryCalls& calls, TextView path) {
    Text entry = LiteralPath(path);
    while (entry.size() > 1 && (entry.back() == u'\\' || entry.back() == u'/')) entry.pop_back();
    WIN32_FIND_DATAW data;
    const HANDLE h = calls.FindFirst(entry, data);
    if (h == INVALID_HANDLE_VALUE) return 0;
    FindClose(h);
    return ReparseTag(data);
}

}  // namespace

std::optional<uint32_t> Win32FileSystem::GetAttributes(TextView path) {
    if (IsLastEntry(path)) return reader_->Attributes();
    const DWORD a = reading_.calls->Attributes(LongPath(path));
    if (a == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    if (!(a & FILE_ATTRIBUTE_REPARSE_POINT)) return a;
    return LinkAttributes(a, ReparseTagOf(*reading_.calls, path));
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

void Win32FileSystem::WriteReplacing(TextView path, const std::function<void(FileWriter&)>& content,
                                     const HeldFileWaits& waits) {
    ReplaceCalls system;
    WriteReplacingFile(path, content, waits, system);
}

}  // namespace win32
}  // namespace tarnwick

#include "platform/win32/files/FolderReader.h"

#include <winternl.h>

#include <algorithm>
#include <new>

#include "platform/win32/Wide.h"

namespace tarnwick::win32 {
namespace {

constexpr NTSTATUS kNoMoreFiles = static_cast<NTSTATUS>(0x80000006);
constexpr NTSTATUS kNoSuchFile = static_cast<NTSTATUS>(0xC000000F);

// FILE_FULL_DIR_INFORMATION: what FindExInfoBasic asks for, so a file system that serves
// FindFirstFileExW serves this too. Its records are read in DirectoryRecords.cpp.
constexpr auto kFullDirectoryInformation = static_cast<FILE_INFORMATION_CLASS>(2);
constexpr size_t kLongestEntry = kDirectoryNameAt + 255 * sizeof(wchar_t);

using QueryDirectoryFile = NTSTATUS(NTAPI*)(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID,
                                            PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS,
                                            BOOLEAN, PUNICODE_STRING, BOOLEAN);

// Looked up at run time, ntdll's exports being no documented API: without it, folders are
// read through FindFirstFileExW.
QueryDirectoryFile Query() {
    static const auto query = reinterpret_cast<QueryDirectoryFile>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryDirectoryFile")));
    return query;
}

// Failures that FindFirstFileExW, opening the same folder the same way, would meet too.
bool FailsForEither(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
           code == ERROR_ACCESS_DENIED || code == ERROR_NOT_READY;
}

bool IsOwnFailure(DWORD code) {
    return code == ERROR_TOO_MANY_OPEN_FILES || code == ERROR_NOT_ENOUGH_MEMORY ||
           code == ERROR_OUTOFMEMORY || code == ERROR_NO_SYSTEM_RESOURCES ||
           code == ERROR_NOT_ENOUGH_QUOTA;
}

// The system's error code for a status of the batch call; 0 for the end of the entries.
DWORD ErrorOf(NTSTATUS status) {
    using ToDosError = ULONG(NTAPI*)(NTSTATUS);
    static const auto convert = reinterpret_cast<ToDosError>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlNtStatusToDosError")));
    if (status == kNoMoreFiles || status == kNoSuchFile) return 0;
    return convert ? convert(status) : ERROR_GEN_FAILURE;
}

bool IsOwnFailure(NTSTATUS status) {
    constexpr auto kNoMemory = static_cast<NTSTATUS>(0xC0000017);
    constexpr auto kInsufficientResources = static_cast<NTSTATUS>(0xC000009A);
    constexpr auto kTooManyOpened = static_cast<NTSTATUS>(0xC000011F);
    return status == kNoMemory || status == kInsufficientResources || status == kTooManyOpened;
}

}  // namespace

std::shared_ptr<EntryCalls> SystemCalls() {
    static const auto calls = std::make_shared<EntryCalls>();
    return calls;
}

NTSTATUS EntryCalls::ReadBatch(HANDLE folder, void* batch, ULONG bytes, size_t& filled) {
    IO_STATUS_BLOCK io{};
    const NTSTATUS status = Query()(folder, nullptr, nullptr, nullptr, &io, batch, bytes,
                                    kFullDirectoryInformation, FALSE, nullptr, FALSE);
    filled = NT_SUCCESS(status) ? io.Information : 0;
    return status;
}

HANDLE EntryCalls::FindFirst(const Text& pattern, WIN32_FIND_DATAW& data) {
    return FolderOpener::FindFirst(pattern, data);
}

bool EntryCalls::FindNext(HANDLE find, WIN32_FIND_DATAW& data) {
    return FindNextFileW(find, &data);
}

DWORD EntryCalls::Attributes(const Text& path) {
    return GetFileAttributesW(W(path));
}

void FolderReader::Aim(Text pattern, Text folder) {
    pattern_ = std::move(pattern);
    folder_ = std::move(folder);
}

// The end of a folder's entries is no failure: a drive root may have none, and then its
// pattern finds nothing.
void FolderReader::Failed(DWORD code) {
    failure_ = code == ERROR_NO_MORE_FILES || code == ERROR_FILE_NOT_FOUND ? 0 : code;
    ownFailure_ = IsOwnFailure(code);
}

void FolderReader::FailedBatch(NTSTATUS status) {
    failure_ = ErrorOf(status);
    ownFailure_ = IsOwnFailure(status);
}

void FolderReader::Close() {
    if (handle_ != INVALID_HANDLE_VALUE) finding_ ? FindClose(handle_) : CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    finding_ = false;
}

// Runs on the opener's thread, where nothing may be thrown.
void FolderReader::Open() {
    Close();
    ownFailure_ = false;
    failure_ = 0;
    try {
        OpenOrFail();
    } catch (const std::bad_alloc&) {
        Close();
        Failed(ERROR_NOT_ENOUGH_MEMORY);
    }
}

void FolderReader::OpenOrFail() {
    buffer_.resize(std::max(options_.batchBytes, kLongestEntry));
    if (options_.batches && OpenBatches()) return;
    failure_ = 0;  // the batch call's, which FindFirstFileExW may not meet
    handle_ = options_.calls->FindFirst(pattern_, data_);
    finding_ = handle_ != INVALID_HANDLE_VALUE;
    if (!finding_) Failed(GetLastError());
}

// False where the batch call can't tell what FindFirstFileExW would give.
bool FolderReader::OpenBatches() {
    if (!Query() || folder_.empty()) return false;
    handle_ = CreateFileW(W(folder_), FILE_LIST_DIRECTORY | SYNCHRONIZE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        failure_ = code;  // here "not found" is the folder's, not the end of its entries
        ownFailure_ = IsOwnFailure(code);
        return FailsForEither(code) || ownFailure_;
    }
    const NTSTATUS status = ReadBatch();
    if (NT_SUCCESS(status) && TakeEntry()) return true;
    Close();
    FailedBatch(status);
    if (ownFailure_) return true;
    return status == kNoMoreFiles || status == kNoSuchFile;  // an empty drive root, say
}

NTSTATUS FolderReader::ReadBatch() {
    size_t filled = 0;
    const NTSTATUS status = options_.calls->ReadBatch(handle_, buffer_.data(),
                                                      static_cast<ULONG>(buffer_.size()), filled);
    filled_ = std::min(filled, buffer_.size());
    at_ = 0;
    return status;
}

// The entry at at_ becomes the current one, when the batch holds all of it.
bool FolderReader::TakeEntry() {
    const auto record = ReadDirectoryRecord(buffer_.data(), filled_, at_);
    if (record) record_ = *record;
    return record.has_value();
}

// Any failure, not only the end, ends the enumeration, as FindNextFileW's does.
bool FolderReader::Next() {
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    NTSTATUS status = 0;
    if (finding_) {
        if (options_.calls->FindNext(handle_, data_)) return true;
        Failed(GetLastError());
    } else if (record_.next != 0) {
        at_ += record_.next;
        if (TakeEntry()) return true;
    } else if (status = ReadBatch(); NT_SUCCESS(status) && TakeEntry()) {
        return true;
    } else {
        FailedBatch(status);
    }
    Close();
    return false;
}

TextView FolderReader::Name() const {
    if (finding_) return FromW(data_.cFileName);
    return DirectoryRecordName(buffer_.data(), at_, record_);
}

DWORD FolderReader::Attributes() const {
    return finding_ ? LinkAttributes(data_.dwFileAttributes, ReparseTag(data_))
                    : record_.attributes;
}

}  // namespace tarnwick::win32

namespace tarnwick::win32 {

EntryDetails FolderReader::Details() const {
    if (finding_) {
        const auto wide = [](DWORD high, DWORD low) { return uint64_t{high} << 32 | low; };
        const FILETIME& t = data_.ftLastWriteTime;
        return {Attributes(), wide(data_.nFileSizeHigh, data_.nFileSizeLow),
                FromWindowsTicks(static_cast<int64_t>(wide(t.dwHighDateTime, t.dwLowDateTime)))};
    }
    const DirectoryRecordDetails d = ReadDirectoryRecordDetails(buffer_.data(), at_);
    return {record_.attributes, d.size, FromWindowsTicks(d.lastWrite)};
}

}  // namespace tarnwick::win32

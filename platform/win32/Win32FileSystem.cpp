#include "platform/win32/Win32FileSystem.h"

#include <algorithm>
#include <string>

#include "platform/RunTimeError.h"
#include "platform/win32/LongPath.h"
#include "platform/win32/Wide.h"

namespace tarnwick {

std::unique_ptr<FileSystem> MakeFileSystem() {
    return std::make_unique<win32::Win32FileSystem>();
}

namespace win32 {
namespace {}  // namespace

void Win32FileSystem::Close() {
    if (find_ != INVALID_HANDLE_VALUE) FindClose(find_);
    find_ = INVALID_HANDLE_VALUE;
}

TextView Win32FileSystem::Name() const {
    return FromW(data_.cFileName);
}

// An entry is given only when each of its hidden, system and folder bits is in the mask.
bool Win32FileSystem::Admitted() const {
    constexpr DWORD kFiltered = attr::Hidden | attr::System | attr::Folder;
    if (data_.dwFileAttributes & kFiltered & ~static_cast<DWORD>(mask_)) return false;
    return !(root_ && IsDotOrDotDot(Name()));
}

TextView Win32FileSystem::FindFirst(TextView folder, int32_t mask, const Waiting& waiting) {
    Close();
    folder_.assign(folder);
    mask_ = mask;
    root_ = IsDriveRoot(folder);
    find_ = opener_.Open(LongPath(folder) + u"*", data_, waiting);
    if (find_ == INVALID_HANDLE_VALUE) return {};
    if (Admitted()) return Name();
    return FindNext();
}

TextView Win32FileSystem::FindNext() {
    // Any failure of FindNextFileW, not only the end, ends the enumeration.
    while (find_ != INVALID_HANDLE_VALUE && FindNextFileW(find_, &data_)) {
        if (Admitted()) return Name();
    }
    Close();
    return {};
}

std::optional<uint32_t> Win32FileSystem::EnumeratedAttributes() {
    if (find_ == INVALID_HANDLE_VALUE) return std::nullopt;
    return data_.dwFileAttributes;
}

bool Win32FileSystem::IsLastEntry(TextView path) const {
    if (find_ == INVALID_HANDLE_VALUE) return false;
    const TextView name = Name();
    return path.size() == folder_.size() + name.size() && path.starts_with(folder_) &&
           path.ends_with(name);
}

std::optional<uint32_t> Win32FileSystem::GetAttributes(TextView path) {
    if (IsLastEntry(path)) return data_.dwFileAttributes;
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
        default:
            return MakeError(error::PathFileAccess);
    }
}

class HandleWriter : public FileWriter {
  public:
    explicit HandleWriter(HANDLE h) : h_(h) {}
    void Write(std::string_view bytes) override {
        for (size_t done = 0; done < bytes.size();) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
            DWORD written = 0;
            if (!WriteFile(h_, bytes.data() + done, chunk, &written, nullptr))
                throw WriteError(GetLastError());
            done += written;
        }
    }
    void Restart() override {
        if (SetFilePointer(h_, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
            !SetEndOfFile(h_))
            throw WriteError(GetLastError());
    }

  private:
    HANDLE h_;
};

}  // namespace

// Written beside the target under another name, then moved over it.
void Win32FileSystem::WriteReplacing(TextView path,
                                     const std::function<void(FileWriter&)>& content) {
    const Text target = LongPath(path);
    const DWORD existing = GetFileAttributesW(W(target));
    if (existing != INVALID_FILE_ATTRIBUTES &&
        (existing & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        throw MakeError(error::PathFileAccess);  // a folder, or a read-only file
    static unsigned serial = 0;
    const std::string suffix =
        ".tarnwick-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
    const Text temp = target + Text(suffix.begin(), suffix.end());
    const HANDLE h =
        CreateFileW(W(temp), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw WriteError(GetLastError());
    try {
        HandleWriter writer(h);
        content(writer);
    } catch (...) {
        CloseHandle(h);
        DeleteFileW(W(temp));
        throw;
    }
    DWORD failure = 0;
    if (!CloseHandle(h)) failure = GetLastError();
    if (!failure && !MoveFileExW(W(temp), W(target), MOVEFILE_REPLACE_EXISTING))
        failure = GetLastError();
    if (failure) {
        DeleteFileW(W(temp));
        throw WriteError(failure);
    }
}

}  // namespace win32
}  // namespace tarnwick

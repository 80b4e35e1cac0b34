// Written completely beside the target first, then put in its place. Virus scanners,
// indexers and sync clients open a new or changed file for a moment without delete sharing,
// and the system then refuses to make, replace, rename or delete it: each step is tried
// again for a while (HeldFileRetry), and the old file is whole at every moment.
#include "platform/win32/files/WriteReplacing.h"

#include <algorithm>
#include <string>

#include "platform/RunTimeError.h"
#include "platform/win32/GrowingPath.h"
#include "platform/win32/Wide.h"
#include "platform/win32/files/HeldFile.h"
#include "platform/win32/files/LongPath.h"

namespace tarnwick::win32 {

HANDLE ReplaceCalls::CreateNew(const Text& path) {
    return CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

bool ReplaceCalls::Replace(const Text& target, const Text& replacement, const Text& backup) {
    return ReplaceFileW(W(target), W(replacement), W(backup),
                        REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                        nullptr);
}

bool ReplaceCalls::Move(const Text& from, const Text& to, DWORD flags) {
    return MoveFileExW(W(from), W(to), flags);
}

bool ReplaceCalls::Delete(const Text& path) {
    return DeleteFileW(W(path));
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

bool Exists(const Text& path) {
    return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES;
}

// The answer of a call just made.
Refusal Refused(bool done) {
    return done ? Refusal{} : LastRefusal();
}

// A name of our own beside the target, short, so that it fits wherever the target's fits.
Text NameBeside(const Text& target) {
    const size_t cut = target.find_last_of(u"\\/:");
    Text name = cut == Text::npos ? Text() : target.substr(0, cut + 1);
    static unsigned serial = GetTickCount() ^ GetCurrentProcessId();
    name += u"~tw";
    for (unsigned n = ++serial, i = 0; i < 8; ++i, n <<= 4) name += u"0123456789abcdef"[n >> 28];
    return name + u".tmp";
}

// The new file, under a name that no file has yet.
Refusal CreateNewBeside(ReplaceCalls& calls, const Text& target, Text& temp, HANDLE& h) {
    for (int tries = 0;; ++tries) {
        temp = NameBeside(target);
        h = calls.CreateNew(temp);
        if (h != INVALID_HANDLE_VALUE) return {};
        const Refusal r = LastRefusal();
        if (r.code != ERROR_FILE_EXISTS || tries == 100) return r;
    }
}

HANDLE CreateBeside(ReplaceCalls& calls, const Text& target, Text& temp,
                    const HeldFileWaits& waits) {
    HANDLE h = INVALID_HANDLE_VALUE;
    const Refusal r = UntilNotHeld(waits, [&] { return CreateNewBeside(calls, target, temp, h); });
    if (r.code) throw WriteError(r.code);
    return h;
}

// Ours beside the target goes, also when another program looks into it for a moment.
void Remove(ReplaceCalls& calls, const Text& path, const HeldFileWaits& waits) {
    UntilNotHeld(waits, [&] {
        if (calls.Delete(path)) return Refusal{};
        const Refusal r = LastRefusal();
        return r.code == ERROR_FILE_NOT_FOUND ? Refusal{} : r;
    });
}

// Where the file system can't replace a file in place of another (some network file
// systems), the new file is moved over the old one instead.
bool ReplaceUnsupported(DWORD code) {
    return code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_FUNCTION ||
           code == ERROR_INVALID_PARAMETER || code == ERROR_CALL_NOT_IMPLEMENTED;
}

Refusal MoveOver(ReplaceCalls& calls, const Text& temp, const Text& target) {
    return Refused(calls.Move(temp, target, MOVEFILE_REPLACE_EXISTING));
}

// One try with ReplaceFileW, which keeps what the user set on the old file: its attributes,
// security, alternate streams and creation time. Given no backup name, a replace stopped
// half-way may leave the old file deleted (ERROR_UNABLE_TO_MOVE_REPLACEMENT) or under a name
// of the system's choosing (..._2); given one, the old file is there, and is put back, so
// that every try starts as the first did. Where the target is found, not the code, says.
Refusal ReplaceOnce(ReplaceCalls& calls, const Text& temp, const Text& target, const Text& backup,
                    const HeldFileWaits& waits) {
    if (calls.Replace(target, temp, backup)) return {};
    const Refusal r = LastRefusal();
    if (Exists(target)) return ReplaceUnsupported(r.code) ? MoveOver(calls, temp, target) : r;
    if (!Exists(backup)) return MoveOver(calls, temp, target);  // the old file vanished
    const Refusal back =
        UntilNotHeld(waits, [&] { return Refused(calls.Move(backup, target, 0)); });
    return back.code ? Refusal{back.code, false} : r;
}

// The new file in the old one's place (through `backup` where there is an old one): 0, or why
// not.
DWORD PutInPlace(ReplaceCalls& calls, const Text& temp, const Text& target, const Text& backup,
                 const HeldFileWaits& waits) {
    if (backup.empty())
        return UntilNotHeld(waits, [&] { return MoveOver(calls, temp, target); }).code;
    const DWORD failure =
        UntilNotHeld(waits, [&] { return ReplaceOnce(calls, temp, target, backup, waits); }).code;
    // Once a file is under the target's name again, the backup holds nothing the user needs;
    // otherwise it holds the old file, which stays.
    if (!failure || Exists(target)) Remove(calls, backup, waits);
    return failure;
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

void WriteReplacingFile(TextView path, const std::function<void(FileWriter&)>& content,
                        const HeldFileWaits& waits, ReplaceCalls& calls) {
    Text target = LongPath(path);
    WIN32_FILE_ATTRIBUTE_DATA old{};
    bool exists = GetFileAttributesExW(W(target), GetFileExInfoStandard, &old);
    if (exists) {
        target = FinalPath(target);
        exists = GetFileAttributesExW(W(target), GetFileExInfoStandard, &old);
    }
    if (exists && (old.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        throw MakeError(error::PathFileAccess);  // a folder, or a read-only file
    Text temp, backup;
    const HANDLE h = CreateBeside(calls, target, temp, waits);
    try {
        if (exists) {  // named now: nothing after the writing may run out of memory
            do backup = NameBeside(target);
            while (Exists(backup));
        }
        HandleWriter writer(h, temp);
        content(writer);
    } catch (...) {
        CloseHandle(h);
        Remove(calls, temp, waits);
        throw;
    }
    // On the disk before it takes the old file's place: a crash then leaves one or the other.
    DWORD failure = FlushFileBuffers(h) ? 0 : GetLastError();
    if (!CloseHandle(h) && !failure) failure = GetLastError();
    if (!failure) failure = PutInPlace(calls, temp, target, backup, waits);
    if (failure) {
        Remove(calls, temp, waits);
        throw WriteError(failure);
    }
    if (exists) KeepAttributesAndCreation(target, old);
}

}  // namespace tarnwick::win32

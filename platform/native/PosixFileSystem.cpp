#include "platform/native/PosixFileSystem.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <locale.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/RunTimeError.h"
#include "platform/native/Utf8.h"
#include "platform/native/WriteSome.h"

namespace tarnwick {

std::unique_ptr<FileSystem> MakeFileSystem() {
    return std::make_unique<native::PosixFileSystem>();
}

namespace native {
namespace {

bool IsDots(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// Failures of the process rather than of the folder.
bool IsOwnFailure(int code) {
    return code == EMFILE || code == ENFILE || code == ENOMEM;
}

uint32_t HiddenBit(std::string_view name) {
    return !name.empty() && name[0] == '.' && name != "." && name != ".." ? attr::Hidden : 0;
}

// Opens a path of any length: one too long for a single call is opened piece by piece.
int OpenPath(const std::string& path, int flags) {
    constexpr size_t kPiece = PATH_MAX - 256;
    if (path.size() < kPiece) return open(path.c_str(), flags | O_CLOEXEC);
    int dir = AT_FDCWD;
    size_t from = 0;
    if (path[0] == '/') {
        dir = open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
        from = 1;
    }
    while (dir != -1 && path.size() - from >= kPiece) {
        const size_t cut = path.rfind('/', from + kPiece);
        if (cut == std::string::npos || cut < from) break;
        const std::string piece = path.substr(from, cut - from);
        const int next = openat(dir, piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (dir != AT_FDCWD) close(dir);
        dir = next;
        from = cut + 1;
    }
    if (dir == -1) return -1;
    const std::string rest = from < path.size() ? path.substr(from) : ".";
    const int fd = openat(dir, rest.c_str(), flags | O_CLOEXEC);
    if (dir != AT_FDCWD) close(dir);
    return fd;
}

bool StatPath(const std::string& path, bool follow, struct stat& st) {
    if (path.size() < PATH_MAX - 256) return (follow ? stat : lstat)(path.c_str(), &st) == 0;
    const size_t slash = path.find_last_of('/', path.size() - 2);
    const int parent = OpenPath(path.substr(0, slash + 1), O_PATH | O_DIRECTORY);
    if (parent == -1) return false;
    const bool ok =
        fstatat(parent, path.c_str() + slash + 1, &st, follow ? 0 : AT_SYMLINK_NOFOLLOW) == 0;
    close(parent);
    return ok;
}

// Attributes from an lstat result; a link is a folder when what it leads to is one.
uint32_t FromStat(const struct stat& st, const struct stat* target) {
    if (!S_ISLNK(st.st_mode)) return S_ISDIR(st.st_mode) ? attr::Folder : 0;
    return attr::Link | (target && S_ISDIR(target->st_mode) ? attr::Folder : 0);
}

}  // namespace

// A folder read to its end is the parent of the next ones the walk reads.
void PosixFileSystem::Close() {
    if (dir_ != -1 && keepParents_) {
        constexpr size_t kMostParents = 12;
        DropParentsOutside(folderBytes_);
        if (parents_.size() == kMostParents) {
            close(parents_.front().fd);
            parents_.erase(parents_.begin());
        }
        parents_.push_back({folderBytes_, dir_});
    } else if (dir_ != -1) {
        close(dir_);
    }
    dir_ = -1;
    batchUsed_ = batchAt_ = 0;
}

void PosixFileSystem::KeepReadFoldersOpen(bool keep) {
    keepParents_ = keep;
    if (!keep) DropParentsOutside({});
}

void PosixFileSystem::DropParentsOutside(const std::string& path) {
    while (!parents_.empty() &&
           !(path.size() > parents_.back().path.size() && path.starts_with(parents_.back().path))) {
        close(parents_.back().fd);
        parents_.pop_back();
    }
}

// Relative to the nearest parent kept open; with none left, or none holding this folder,
// by its whole path. Parents held are given up before the process runs short of
// descriptors on their account.
int PosixFileSystem::OpenFolder(const std::string& path) {
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    DropParentsOutside(path);
    if (!parents_.empty() && path.size() - parents_.back().path.size() < PATH_MAX - 256) {
        const int fd =
            openat(parents_.back().fd, path.c_str() + parents_.back().path.size(), kFlags);
        if (fd != -1 || (errno != EMFILE && errno != ENFILE)) return fd;
    }
    const int fd = OpenPath(path, kFlags);
    if (fd != -1 || parents_.empty() || (errno != EMFILE && errno != ENFILE)) return fd;
    DropParentsOutside({});
    return OpenPath(path, kFlags);
}

// Entries straight from the kernel into the reader's own buffer: no directory stream to
// allocate for each folder, nor the checks that opening one makes.
std::optional<DirectoryEntry> PosixFileSystem::ReadEntry() {
    constexpr size_t kBatchBytes = 32768;
    if (batchAt_ == batchUsed_) {
        if (!batch_) batch_ = std::make_unique<char[]>(kBatchBytes);
        const ssize_t got = getdents64(dir_, batch_.get(), kBatchBytes);
        // A read error ends the enumeration like its end.
        if (got < 0) {
            failure_ = errno;
            ownFailure_ = IsOwnFailure(errno);
        }
        if (got <= 0) return std::nullopt;
        batchUsed_ = static_cast<size_t>(got);
        batchAt_ = 0;
    }
    return NextDirectoryEntry(batch_.get(), batchUsed_, batchAt_);
}

// Opening a folder costs one batch of entries here, however large it is: no waiting.
TextView PosixFileSystem::FindFirst(TextView folder, int32_t mask, const Waiting&) {
    Close();
    folder_.assign(folder);
    mask_ = mask;
    root_ = folder == u"/";
    folderBytes_.clear();
    AppendBytes(folder, folderBytes_);
    dir_ = OpenFolder(folderBytes_);
    failure_ = dir_ == -1 ? errno : 0;
    ownFailure_ = dir_ == -1 && IsOwnFailure(errno);
    return FindNext();
}

TextView PosixFileSystem::FindNext() {
    while (dir_ != -1) {
        const std::optional<DirectoryEntry> e = ReadEntry();
        if (!e) break;
        const std::string_view entry(e->name);
        if (HiddenBit(entry) && !(mask_ & attr::Hidden)) continue;
        if (root_ && IsDots(e->name)) continue;
        entry_ = e->name;
        type_ = e->type;
        attributes_.reset();
        if (!(mask_ & attr::Folder)) {  // "." and ".." are folders too
            if (IsDots(e->name)) continue;
            const auto a = EnumeratedAttributes();
            if (a && (*a & attr::Folder)) continue;
        }
        name_.clear();
        AppendUtf16(entry, name_);
        return name_;
    }
    Close();
    return {};
}

// In the language the environment asks for, as the system's own tools say it.
Text PosixFileSystem::FolderFailure() const {
    if (failure_ == 0) return {};
    static const locale_t asked = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
    return ToUtf16(asked ? strerror_l(failure_, asked) : std::strerror(failure_));
}

// The file systems that reach another machine.
bool PosixFileSystem::IsRemote(TextView folder) {
    struct statfs fs {};
    if (statfs(ToBytes(folder).c_str(), &fs) != 0) return false;
    constexpr long kRemote[] = {
        0x6969 /* NFS */,      0x517B /* SMB */,      0xFF534D42 /* CIFS */, 0xFE534D42 /* SMB2 */,
        0x65735546 /* FUSE */, 0x73757245 /* CODA */, 0x5346414F /* AFS */,  0x01021997 /* 9P */};
    return std::find(std::begin(kRemote), std::end(kRemote), static_cast<long>(fs.f_type)) !=
           std::end(kRemote);
}

std::optional<uint32_t> PosixFileSystem::EnumeratedAttributes() {
    if (dir_ == -1) return std::nullopt;
    if (!attributes_) attributes_ = EntryAttributes();
    return *attributes_;
}

// The entry's type as it came with the entry, where it did: a stat only for where a link
// leads, or when the file system gives no type.
std::optional<uint32_t> PosixFileSystem::EntryAttributes() const {
    const uint32_t hidden = HiddenBit(entry_);
    unsigned char type = options_.entryTypes ? type_ : static_cast<unsigned char>(DT_UNKNOWN);
    struct stat st;
    if (type == DT_UNKNOWN) {
        if (fstatat(dir_, entry_, &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
        type = S_ISLNK(st.st_mode) ? DT_LNK : S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
    }
    if (type == DT_DIR) return attr::Folder | hidden;
    if (type != DT_LNK) return hidden;
    const bool toFolder = fstatat(dir_, entry_, &st, 0) == 0 && S_ISDIR(st.st_mode);
    return attr::Link | (toFolder ? attr::Folder : 0) | hidden;
}

namespace {

// No write permission for anyone is what Windows shows of a host's file as read-only.
uint32_t ReadOnlyBit(mode_t mode) {
    return mode & (S_IWUSR | S_IWGRP | S_IWOTH) ? 0 : attr::ReadOnly;
}

}  // namespace

// One stat of the entry itself (a link's own size and time, as a Windows folder reports a
// link's), relative to the folder being read; asked only where a listing shows them.
std::optional<EntryDetails> PosixFileSystem::EnumeratedDetails() {
    const std::optional<uint32_t> attributes = EnumeratedAttributes();
    struct stat st;
    if (!attributes || fstatat(dir_, entry_, &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
    // Any time_t as it is: a host's file may carry one before 1601 or after 30828.
    const FileTime lastWrite{st.st_mtim.tv_sec, static_cast<uint32_t>(st.st_mtim.tv_nsec / 100)};
    return EntryDetails{*attributes | ReadOnlyBit(st.st_mode), static_cast<uint64_t>(st.st_size),
                        lastWrite};
}

// Asked for every entry with the entry's full path: compared as bytes, the name first, since
// char16_t's own comparison goes a unit at a time.
bool PosixFileSystem::IsLastEntry(TextView path) const {
    const auto same = [](const char16_t* a, const char16_t* b, size_t n) {
        return std::memcmp(a, b, n * sizeof(char16_t)) == 0;
    };
    return dir_ != -1 && path.size() == folder_.size() + name_.size() &&
           same(path.data() + folder_.size(), name_.data(), name_.size()) &&
           same(path.data(), folder_.data(), folder_.size());
}

std::optional<uint32_t> PosixFileSystem::GetAttributes(TextView path) {
    if (IsLastEntry(path)) return EnumeratedAttributes();
    const std::string bytes = ToBytes(path);
    struct stat st, target;
    if (bytes.empty() || !StatPath(bytes, false, st)) return std::nullopt;
    const bool followed = S_ISLNK(st.st_mode) && StatPath(bytes, true, target);
    const size_t slash = bytes.find_last_of('/', bytes.size() - 2);
    const std::string_view last = slash == std::string::npos
                                      ? std::string_view(bytes)
                                      : std::string_view(bytes).substr(slash + 1);
    return FromStat(st, followed ? &target : nullptr) | HiddenBit(last);
}

std::optional<FolderId> PosixFileSystem::Identity(TextView path) {
    struct stat st;
    if (!StatPath(ToBytes(path), true, st)) return std::nullopt;
    return FolderId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

namespace {

RunTimeError WriteError(int code) {
    switch (code) {
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG:
            return MakeError(error::PathNotFound);
        case ENOSPC:
        case EDQUOT:
            return MakeError(error::DiskFull);
        case EIO:
            return MakeError(error::DeviceIo);
        case EBUSY:
        case ETXTBSY:
            return MakeError(error::PermissionDenied);
        case ENOMEM:
            return MakeError(error::OutOfMemory);
        default:
            return MakeError(error::PathFileAccess);
    }
}

// Data this far behind the last written byte is sent on to the disk while writing goes on,
// so that the flush before the rename waits for the last few megabytes only.
constexpr off_t kWriteBehindBytes = off_t{8} << 20;

class DescriptorWriter : public SystemFileWriter {
  public:
    // `path` names the new file while it is written: none for a pipe, a device or a file
    // not yet named. Only a file on the disk is sent to it as it goes.
    explicit DescriptorWriter(int fd, std::string_view path = {}, bool onDisk = false)
        : fd_(fd), onDisk_(onDisk || !path.empty()) {
        AppendUtf16(path, path_);
    }
    void Restart() override {
        if (lseek(fd_, 0, SEEK_SET) != 0 || ftruncate(fd_, 0) != 0) throw WriteError(errno);
        written_ = sent_ = 0;
    }
    Text NewFilePath() const override { return path_; }

  private:
    size_t WriteSome(std::string_view bytes) override {
        const ssize_t n = native::WriteSome(fd_, bytes);
        if (n < 0 && errno != EINTR) throw WriteError(errno);
        if (n > 0 && onDisk_) WriteBehind(n);
        return n > 0 ? static_cast<size_t>(n) : 0;
    }
    // Only a hint: any failure of the data shows in the flush.
    void WriteBehind(ssize_t n) {
        written_ += n;
        if (written_ - sent_ < kWriteBehindBytes) return;
#ifdef SYNC_FILE_RANGE_WRITE
        sync_file_range(fd_, sent_, written_ - sent_, SYNC_FILE_RANGE_WRITE);
#endif
        sent_ = written_;
    }
    int fd_;
    bool onDisk_;
    Text path_;
    off_t written_ = 0, sent_ = 0;
};

// Only a file is replaced: not a folder, a disk or a socket. A file this user may not write
// is refused, as Windows refuses a read-only one; so is one whose owner may not write it, a
// mark that root could otherwise pass over.
bool MayReplace(const std::string& path, const struct stat& old) {
    return S_ISREG(old.st_mode) && (old.st_mode & S_IWUSR) &&
           faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// A reader that goes away fails the write, rather than end the program by SIGPIPE.
class PipeSignalHeld {
  public:
    PipeSignalHeld() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_, &before_);
    }
    ~PipeSignalHeld() {
        const timespec now{};
        if (!sigismember(&before_, SIGPIPE)) sigtimedwait(&pipe_, nullptr, &now);
        pthread_sigmask(SIG_SETMASK, &before_, nullptr);
    }

  private:
    sigset_t pipe_, before_;
};

// A pipe or a character device takes the listing as a console does, in place: what its
// reader has taken can't be taken back, so the listing is made whole first. Opened without
// waiting: a pipe that nobody reads is an output that is gone.
void WriteThrough(const std::string& path, const std::function<void(FileWriter&)>& content) {
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd == -1) throw WriteError(errno);
    try {
        StringWriter listing;
        content(listing);
        const int flags = fcntl(fd, F_GETFL);
        if (flags == -1 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) throw WriteError(errno);
        const PipeSignalHeld held;
        DescriptorWriter(fd).Write(listing.bytes_);
    } catch (...) {
        close(fd);
        throw;
    }
    if (close(fd) != 0) throw WriteError(errno);
}

// A file a symbolic link names is written through the link, which stays as the user made it.
std::string ThroughLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        std::string to(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
        const ssize_t n = readlink(path.c_str(), to.data(), to.size());
        if (n <= 0 || static_cast<size_t>(n) >= to.size()) break;
        to.resize(static_cast<size_t>(n));
        const size_t slash = path.rfind('/');
        path = to[0] == '/' || slash == std::string::npos ? to : path.substr(0, slash + 1) + to;
    }
    return path;
}

// The new file is named beside the target with a short name of its own, so that it fits
// wherever the target's name fits.
std::string NameBeside(const std::string& target) {
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    static unsigned serial = static_cast<unsigned>(getpid()) * 2654435761u;
    char name[16];
    std::snprintf(name, sizeof name, ".~tw%08x", ++serial);
    return folder + name;
}

// Only its owner may read the new file while it is written.
int CreateBeside(const std::string& target, std::string& temp) {
    for (int tries = 0;; ++tries) {
        std::string name = NameBeside(target);
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd != -1) {
            temp = std::move(name);
            return fd;
        }
        if (errno != EEXIST || tries == 100) throw WriteError(errno);
    }
}

// A new file in the target's folder with no name there yet, so that no walk finds it: -1
// where the file system makes none, or where it could not be named later (through /proc).
int CreateUnseen(const std::string& target) {
#ifdef O_TMPFILE
    if (access("/proc/self/fd", X_OK) != 0) return -1;
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : target.substr(0, slash);
    return open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
#else
    return -1;
#endif
}

// Names a file made unseen beside the target; 0, or the error. `temp` is only ever a name
// made here: it is removed on a failure.
int NameUnseen(int fd, const std::string& target, std::string& temp) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int tries = 0;; ++tries) {
        std::string name = NameBeside(target);
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temp = std::move(name);
            return 0;
        }
        if (errno != EEXIST || tries == 100) return errno;
    }
}

// The mode a new file gets here: what the umask leaves of 0666. The umask can only be read
// by setting it; saves run on the window's thread alone.
mode_t NewFileMode() {
    const mode_t mask = umask(077);
    umask(mask);
    return 0666 & ~mask;
}

// The replacement keeps the old file's owner where this user may give it, and its mode; a
// new file gets the mode any new file would.
int GiveOwnerAndMode(int fd, const struct stat* old) {
    if (!old) return fchmod(fd, NewFileMode()) == 0 ? 0 : errno;
    if (fchown(fd, old->st_uid, old->st_gid) != 0) {
        [[maybe_unused]] const int ignored = fchown(fd, static_cast<uid_t>(-1), old->st_gid);
    }
    return fchmod(fd, old->st_mode & 07777) == 0 ? 0 : errno;
}

// Writes the new file `fd` (named `temp`, or not yet named) and puts it in the place of
// `named` (found through links at `target`); any failure removes it and throws. The old
// file is looked at again once the content is written: a listing takes a while, and the
// user may have made the file read-only meanwhile.
void Replace(int fd, std::string& temp, const std::string& named, const std::string& target,
             const std::function<void(FileWriter&)>& content) {
    int failure = 0;
    try {
        {
            DescriptorWriter writer(fd, temp, true);
            content(writer);
        }
        struct stat old;
        const bool exists = stat(named.c_str(), &old) == 0;
        if (exists && !MayReplace(named, old)) throw MakeError(error::PathFileAccess);
        failure = GiveOwnerAndMode(fd, exists ? &old : nullptr);
        // On the disk before it takes the old file's place: a crash leaves one or the other.
        if (!failure && fsync(fd) != 0) failure = errno;
        if (!failure && temp.empty()) failure = NameUnseen(fd, target, temp);
    } catch (...) {
        close(fd);
        if (!temp.empty()) unlink(temp.c_str());
        throw;
    }
    if (close(fd) != 0 && !failure) failure = errno;
    if (!failure && rename(temp.c_str(), target.c_str()) != 0) failure = errno;
    if (failure) {
        if (!temp.empty()) unlink(temp.c_str());
        throw WriteError(failure);
    }
}

}  // namespace

// Written completely beside the target first, then renamed over it. A target with other
// hard links gets a file of its own: the other names keep the old listing, since keeping
// them would mean rewriting the shared file in place, and a failure there loses it.
void PosixFileSystem::WriteReplacing(TextView path, const std::function<void(FileWriter&)>& content,
                                     const HeldFileWaits& /*waits*/) {
    const std::string named = ToBytes(path);
    struct stat old;
    const bool exists = stat(named.c_str(), &old) == 0;  // what any links lead to
    if (exists && (S_ISFIFO(old.st_mode) || S_ISCHR(old.st_mode)))
        return WriteThrough(named, content);
    if (exists && !MayReplace(named, old)) throw MakeError(error::PathFileAccess);
    const std::string target = ThroughLinks(named);
    std::string temp;
    const int fd = CreateBeside(target, temp);
    Replace(fd, temp, named, target, content);
}

// The same with the new file unnamed until it is complete. Anything but a file to replace
// is left to WriteReplacing, with its errors.
bool PosixFileSystem::WriteReplacingUnseen(TextView path,
                                           const std::function<void(FileWriter&)>& content) {
    const std::string named = ToBytes(path);
    struct stat old;
    const bool exists = stat(named.c_str(), &old) == 0;
    if (exists && !MayReplace(named, old)) return false;
    const std::string target = ThroughLinks(named);
    const int fd = CreateUnseen(target);
    if (fd == -1) return false;
    std::string temp;  // named once complete
    Replace(fd, temp, named, target, content);
    return true;
}

}  // namespace native
}  // namespace tarnwick

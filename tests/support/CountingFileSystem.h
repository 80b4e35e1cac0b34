#pragma once
// The real file system, with a count of the queries the walk makes of it, and failures
// and delays made to order for paths ending in a given name (unreadable folders,
// unreadable entries, folders slow to open, folders that never open). Its readers, for
// the read-ahead's threads, count into it and fail as it does.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <new>
#include <set>
#include <thread>

#include "platform/FileSystem.h"

namespace tarnwick::testing {

class CountingFileSystem : public FileSystem {
  public:
    explicit CountingFileSystem(FileSystem& real) : real_(real), owner_(*this) {}
    CountingFileSystem(std::unique_ptr<FileSystem> real, CountingFileSystem& owner)
        : ownReal_(std::move(real)), real_(*ownReal_), owner_(owner) {}
    ~CountingFileSystem() override { Released(); }

    std::unique_ptr<FileSystem> NewReader() override {
        if (!readers) return nullptr;
        auto real = real_.NewReader();
        if (!real) return nullptr;
        return std::make_unique<CountingFileSystem>(std::move(real), owner_);
    }

    using FileSystem::FindFirst;
    TextView FindFirst(TextView folder, int32_t mask, const Waiting& waiting) override {
        Released();
        ownFailure_ = false;
        Count(&CountingFileSystem::enumerations);
        if (waiting) Count(&CountingFileSystem::openedWhileAnswering);
        if (&owner_ != this) Count(&CountingFileSystem::readerEnumerations);
        const TextView name = folder.substr(0, folder.size() - 1);
        if (&owner_ == this) {
            readingFolder.assign(name.substr(name.find_last_of(kSeparator) + 1));
            entriesInFolder = 0;
        }
        unreadable_ = Fails(owner_.unreadableFolders, name);
        if (unreadable_) {
            real_.EndFind();  // abandons the enumeration in progress, as a start does
            return {};
        }
        Held(true);
        // A slow folder keeps the caller waiting twice before it opens, unless given up; a
        // hung one until given up.
        // The walk's own file system gives a stuck folder up as the opener does.
        const bool hung = Fails(owner_.hungFolders, name) ||
                          (&owner_ == this && Fails(owner_.stuckFolders, name));
        if (hung) Count(&CountingFileSystem::hanging);
        for (int i = 0; hung || (i < 2 && Fails(owner_.slowFolders, name)); ++i) {
            if (waiting && waiting()) {
                real_.EndFind();
                Released();
                return {};
            }
            if (hung) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        // The real opener waits by the clock, as long as a busy machine makes it: here the
        // waiting is only what is ordered above, so the pumps counted are the walk's own.
        const TextView first = real_.FindFirst(folder, mask, {});
        if (&owner_ != this && Fails(owner_.stuckFolders, name)) {
            Count(&CountingFileSystem::hanging);
            owner_.WaitUntilReleased();
        }
        const Want w = owner_.want ? owner_.want(name, &owner_ != this) : Want::None;
        if (w == Want::Memory) throw std::bad_alloc();
        if (w == Want::Descriptor) {
            real_.EndFind();
            ownFailure_ = true;
            return Ended({});
        }
        return Ended(first);
    }
    bool OwnFailure() const override { return ownFailure_ || real_.OwnFailure(); }
    Text FolderFailure() const override {
        return unreadable_ ? Text(u"拒绝访问。") : real_.FolderFailure();
    }
    TextView FindNext() override { return Ended(real_.FindNext()); }
    void EndFind() override {
        real_.EndFind();
        Released();
    }
    std::optional<uint32_t> EnumeratedAttributes() override { return real_.EnumeratedAttributes(); }
    std::optional<EntryDetails> EnumeratedDetails() override { return real_.EnumeratedDetails(); }
    Text LiteralFolder(TextView folder) override { return real_.LiteralFolder(folder); }
    void KeepReadFoldersOpen(bool keep) override { real_.KeepReadFoldersOpen(keep); }
    bool IsRemote(TextView folder) override { return remote || real_.IsRemote(folder); }
    Text FullPath(TextView path) override { return real_.FullPath(path); }
    std::optional<uint32_t> GetAttributes(TextView path) override {
        Count(&CountingFileSystem::attributeQueries);
        if (Fails(owner_.unreadableEntries, path)) return std::nullopt;
        return real_.GetAttributes(path);
    }
    void WriteReplacing(TextView path, const std::function<void(FileWriter&)>& write,
                        const HeldFileWaits& waits) override {
        real_.WriteReplacing(path, write, waits);
    }
    bool WriteReplacingUnseen(TextView path,
                              const std::function<void(FileWriter&)>& write) override {
        return real_.WriteReplacingUnseen(path, write);
    }
    std::optional<FolderId> Identity(TextView path) override {
        Count(&CountingFileSystem::identityQueries);
        return real_.Identity(path);
    }

    // Waits (on an event, not the clock) until a folder of hungFolders is being opened.
    void WaitUntilHanging() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return hanging > 0; });
    }

    int OpenInReaders() {
        std::lock_guard lock(mutex_);
        return openInReaders;
    }

    // Holds every call in a folder of stuckFolders again, until the next Release.
    void HoldStuck() {
        std::lock_guard lock(mutex_);
        released_ = false;
        hanging = 0;
    }
    // Lets every call held in a folder of stuckFolders return, now and from now on.
    void Release() {
        {
            std::lock_guard lock(mutex_);
            released_ = true;
        }
        changed_.notify_all();
    }

    // Counted over this file system and all its readers; read them once the walk is over.
    int enumerations = 0;
    int readerEnumerations = 0;
    int attributeQueries = 0;
    int identityQueries = 0;
    int hanging = 0;
    int openedWhileAnswering = 0;  // enumerations given something to run while they open
    int openInReaders = 0;         // enumerations that readers hold open
    int entriesRead = 0;           // names given, "." and ".." included
    Text readingFolder;            // the name of the folder the walk itself read last
    int entriesInFolder = 0;       // names the walk was given of it so far
    bool readers = true;           // false: no reader, so the walk reads every folder itself
    bool remote = false;           // stands for a network drive
    std::set<Text> unreadableFolders;
    std::set<Text> unreadableEntries;
    std::set<Text> slowFolders;
    std::set<Text> hungFolders;
    // Opened by a reader, then held (whatever it gives up) until Release; the walk's own
    // opening of one hangs until given up.
    std::set<Text> stuckFolders;
    // A folder (named without its separator) that the walk or a reader can't read for want
    // of a descriptor or of memory, as the test decides; called on any thread.
    enum class Want { None, Descriptor, Memory };
    std::function<Want(TextView folder, bool reader)> want;

  private:
    void Count(int CountingFileSystem::*counter, int by = 1) {
        {
            std::lock_guard lock(owner_.mutex_);
            owner_.*counter += by;
        }
        owner_.changed_.notify_all();
    }
    void Held(bool held) {
        if (held == held_ || &owner_ == this) return;
        held_ = held;
        Count(&CountingFileSystem::openInReaders, held ? 1 : -1);
    }
    void Released() { Held(false); }
    TextView Ended(TextView name) {
        if (name.empty()) Released();
        if (!name.empty()) Count(&CountingFileSystem::entriesRead);
        if (!name.empty() && &owner_ == this) ++entriesInFolder;
        return name;
    }
    void WaitUntilReleased() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return released_; });
    }
    static bool Fails(const std::set<Text>& names, TextView path) {
        const size_t slash = path.find_last_of(kSeparator);
        return names.contains(Text(slash == TextView::npos ? path : path.substr(slash + 1)));
    }

    std::unique_ptr<FileSystem> ownReal_;
    FileSystem& real_;
    CountingFileSystem& owner_;
    bool held_ = false;
    bool ownFailure_ = false;
    bool unreadable_ = false;  // the last folder started is one of unreadableFolders
    bool released_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
};

}  // namespace tarnwick::testing

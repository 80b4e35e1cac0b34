#pragma once
// The real file system with one call made to fail on purpose: the nth call of a chosen
// kind, counted over this file system and its readers (the read-ahead's threads), fails
// with a chosen error. An error of the folder's own stays, as an unreadable folder stays
// unreadable: every later call of that kind at the same place (the same folder and the
// same entry in it, or the same path) fails too. Running out of memory, as the call's own
// want or a thrown bad_alloc, happens once. Enumerations are counted while open, so that
// one never closed is seen.
#include <mutex>
#include <new>
#include <optional>

#include "platform/FileSystem.h"
#include "platform/RunTimeError.h"

namespace tarnwick::testing {

enum class Call { Open, Entry, Attributes, Identity, Create, Write, Restart, Replace };
enum class Fault {
    AccessDenied,
    NotFound,
    SharingViolation,
    DiskFull,
    NetworkGone,
    OutOfMemory,
    BadAlloc
};
inline constexpr Call kReadCalls[] = {Call::Open, Call::Entry, Call::Attributes, Call::Identity};
inline constexpr Call kWriteCalls[] = {Call::Create, Call::Write, Call::Restart, Call::Replace};
inline constexpr Fault kFaults[] = {
    Fault::AccessDenied, Fault::NotFound,    Fault::SharingViolation, Fault::DiskFull,
    Fault::NetworkGone,  Fault::OutOfMemory, Fault::BadAlloc};
// A read that fails gives no name or no answer, whatever the folder's own reason: these
// stand for every reason, the call's own want and a thrown bad_alloc.
inline constexpr Fault kReadFaults[] = {Fault::AccessDenied, Fault::OutOfMemory, Fault::BadAlloc};

// Where a call failed: the folder enumerated or the path asked, and for an entry its
// number in the folder's enumeration.
struct FaultSite {
    Call call = Call::Open;
    Text where;
    long index = 0;
    bool inReader = false;  // the call was a reader's
};

// The run-time error a failed write raises, as the real file systems map theirs.
inline RunTimeError WriteFault(Fault f) {
    switch (f) {
        case Fault::SharingViolation:
            return MakeError(error::PermissionDenied);
        case Fault::NotFound:
            return MakeError(error::PathNotFound);
        case Fault::DiskFull:
            return MakeError(error::DiskFull);
        case Fault::OutOfMemory:
        case Fault::BadAlloc:
            return MakeError(error::OutOfMemory);
        default:
            return MakeError(error::PathFileAccess);
    }
}

class FaultyFileSystem : public FileSystem {
  public:
    explicit FaultyFileSystem(FileSystem& real) : real_(real), owner_(*this) {}
    FaultyFileSystem(std::unique_ptr<FileSystem> real, FaultyFileSystem& owner)
        : ownReal_(std::move(real)), real_(*ownReal_), owner_(owner) {}
    ~FaultyFileSystem() override { Closed(); }

    // The `n`th call of `call` from now on (by readers only, when `byReaders`) fails with
    // `fault`; 0: none does.
    void FailAt(Call call, long n, Fault fault, bool byReaders = false) {
        std::lock_guard lock(mutex_);
        call_ = call, n_ = n, fault_ = fault, made_ = 0, byReaders_ = byReaders;
        struck_.reset();
        staying_.reset();
    }
    // Every call at `site` fails with `fault`, as after a strike there.
    void FailAtSite(const FaultSite& site, Fault fault) {
        FailAt(site.call, 0, fault);
        std::lock_guard lock(mutex_);
        staying_ = site;
    }
    std::optional<FaultSite> Struck() {
        std::lock_guard lock(mutex_);
        return struck_;
    }
    int OpenEnumerations() {
        std::lock_guard lock(mutex_);
        return open_;
    }

    bool readers = true;  // false: the walk reads every folder itself

    std::unique_ptr<FileSystem> NewReader() override {
        if (!owner_.readers) return nullptr;
        auto real = real_.NewReader();
        return real ? std::make_unique<FaultyFileSystem>(std::move(real), owner_) : nullptr;
    }

    using FileSystem::FindFirst;
    TextView FindFirst(TextView folder, int32_t mask, const Waiting& waiting) override {
        Closed();
        folder_.assign(folder);
        entry_ = 0;
        ownFailure_ = false;
        failure_.clear();
        if (Strikes(Call::Open, folder, 0)) {
            real_.EndFind();
            return FolderFailed();
        }
        const TextView name = real_.FindFirst(folder, mask, waiting);
        return Opened(name);
    }
    TextView FindNext() override {
        if (Strikes(Call::Entry, folder_, ++entry_)) {
            if (owner_.Kind() != Fault::BadAlloc) real_.EndFind(), Closed();
            return FolderFailed();  // a bad_alloc leaves it open, for the caller to end
        }
        return Opened(real_.FindNext());
    }
    bool OwnFailure() const override { return ownFailure_ || real_.OwnFailure(); }
    Text FolderFailure() const override {
        return failure_.empty() ? real_.FolderFailure() : failure_;
    }
    void EndFind() override {
        real_.EndFind();
        Closed();
    }
    std::optional<uint32_t> EnumeratedAttributes() override {
        // Told from a query of the same path by its number.
        if (Strikes(Call::Attributes, folder_ + name_, 1)) return Failed(std::nullopt);
        return real_.EnumeratedAttributes();
    }
    Text LiteralFolder(TextView folder) override { return real_.LiteralFolder(folder); }
    bool IsRemote(TextView folder) override { return real_.IsRemote(folder); }
    Text FullPath(TextView path) override { return real_.FullPath(path); }
    std::optional<uint32_t> GetAttributes(TextView path) override {
        if (Strikes(Call::Attributes, path, 0)) return Failed(std::nullopt);
        return real_.GetAttributes(path);
    }
    std::optional<FolderId> Identity(TextView path) override {
        if (Strikes(Call::Identity, path, 0)) return Failed(std::nullopt);
        return real_.Identity(path);
    }
    // A failed create leaves the real one uncalled; a failed write, restart or replace is
    // thrown through the real one's writing, which then owns the clean-up.
    void WriteReplacing(TextView path, const std::function<void(FileWriter&)>& content,
                        const HeldFileWaits& waits) override {
        if (Strikes(Call::Create, path, 0)) Throw();
        real_.WriteReplacing(path, Faulty(path, content), waits);
    }
    bool WriteReplacingUnseen(TextView path,
                              const std::function<void(FileWriter&)>& content) override {
        if (Strikes(Call::Create, path, 0)) Throw();
        return real_.WriteReplacingUnseen(path, Faulty(path, content));
    }

  private:
    std::function<void(FileWriter&)> Faulty(TextView path,
                                            const std::function<void(FileWriter&)>& content) {
        return [this, path, &content](FileWriter& real) {
            Writer writer(*this, real);
            content(writer);
            if (Strikes(Call::Replace, path, 0)) Throw();
        };
    }
    class Writer : public FileWriter {
      public:
        Writer(FaultyFileSystem& files, FileWriter& real) : files_(files), real_(real) {}
        void Write(std::string_view bytes) override {
            if (files_.Strikes(Call::Write, {}, ++writes_)) files_.Throw();
            real_.Write(bytes);
        }
        void Restart() override {
            if (files_.Strikes(Call::Restart, {}, 0)) files_.Throw();
            real_.Restart();
        }
        Text NewFilePath() const override { return real_.NewFilePath(); }

      private:
        FaultyFileSystem& files_;
        FileWriter& real_;
        long writes_ = 0;
    };

    Fault Kind() {
        std::lock_guard lock(mutex_);
        return fault_;
    }
    static bool Stays(Fault f) { return f != Fault::OutOfMemory && f != Fault::BadAlloc; }

    bool Strikes(Call call, TextView where, long index) {
        FaultyFileSystem& o = owner_;
        std::lock_guard lock(o.mutex_);
        if (o.staying_ && o.staying_->call == call && o.staying_->index == index &&
            o.staying_->where == where)
            return true;
        if (call != o.call_ || (o.byReaders_ && this == &o) || ++o.made_ != o.n_) return false;
        o.struck_ = FaultSite{call, Text(where), index, this != &o};
        if (Stays(o.fault_)) o.staying_ = o.struck_;
        return true;
    }
    // A read that fails gives what the real one gives for a failure; out of memory is the
    // call's own want, which a reader elsewhere, or later, would not have.
    template <typename T = TextView>
    T Failed(T failure = {}) {
        const Fault f = owner_.Kind();
        if (f == Fault::BadAlloc) throw std::bad_alloc();
        ownFailure_ = f == Fault::OutOfMemory;
        return failure;
    }
    // The folder's read fails, and says why as the system would.
    TextView FolderFailed() {
        const TextView failed = Failed();
        failure_ = WriteFault(owner_.Kind()).description;
        return failed;
    }
    [[noreturn]] void Throw() {
        const Fault f = owner_.Kind();
        if (f == Fault::BadAlloc) throw std::bad_alloc();
        throw WriteFault(f);
    }
    TextView Opened(TextView name) {
        if (name.empty()) {
            Closed();
        } else {
            name_.assign(name);
            Hold(true);
        }
        return name;
    }
    void Closed() { Hold(false); }
    void Hold(bool open) {
        if (open == open_held_) return;
        open_held_ = open;
        std::lock_guard lock(owner_.mutex_);
        owner_.open_ += open ? 1 : -1;
    }

    std::unique_ptr<FileSystem> ownReal_;
    FileSystem& real_;
    FaultyFileSystem& owner_;
    Text folder_;
    Text name_;
    long entry_ = 0;
    bool ownFailure_ = false;
    Text failure_;  // why the last folder gave no more, as the system would say it
    bool open_held_ = false;
    // The owner's, for itself and its readers.
    std::mutex mutex_;
    Call call_ = Call::Open;
    long n_ = 0;
    long made_ = 0;
    bool byReaders_ = false;
    Fault fault_ = Fault::AccessDenied;
    std::optional<FaultSite> struck_;
    std::optional<FaultSite> staying_;
    int open_ = 0;
};

}  // namespace tarnwick::testing

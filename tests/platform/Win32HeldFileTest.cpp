// The save's replace, with the system's calls refused as Windows refuses them while a virus
// scanner, an indexer or a sync client holds a file for a moment (Wine shows few of these):
// on the test's clock, which moves by Windows' timer tick, each refusal is waited out for
// two seconds; the old file stays whole, and nothing of ours is left beside it.
#include <windows.h>
#include <winternl.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "platform/RunTimeError.h"
#include "platform/win32/files/WriteReplacing.h"
#include "tests/support/TempTree.h"

namespace tarnwick::testing {
namespace {

enum class Call { CreateNew, Replace, Move, Delete };
constexpr int kNever = 1 << 30;
// ERROR_ACCESS_DENIED as a file being deleted gives it, until its last holder lets go.
constexpr DWORD kDeletePending = ~DWORD{0};

struct Refused {
    Call call;
    DWORD error;
    int times;
};

// Sets the last error as the system does, with the status behind it.
void Fail(DWORD error) {
    if (error == kDeletePending)
        SetLastError(RtlNtStatusToDosError(static_cast<NTSTATUS>(0xC0000056)));
    else if (error == ERROR_ACCESS_DENIED)
        SetLastError(RtlNtStatusToDosError(static_cast<NTSTATUS>(0xC0000022)));
    else
        SetLastError(error);
}

class HeldCalls : public win32::ReplaceCalls {
  public:
    explicit HeldCalls(std::vector<Refused> refused) : refused_(std::move(refused)) {}
    HANDLE CreateNew(const Text& path) override {
        return Refuses(Call::CreateNew) ? INVALID_HANDLE_VALUE : ReplaceCalls::CreateNew(path);
    }
    bool Replace(const Text& target, const Text& replacement, const Text& backup) override {
        if (!Refuses(Call::Replace)) return ReplaceCalls::Replace(target, replacement, backup);
        // This one leaves the old file under the backup name.
        if (error_ == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) MoveFileExW(W(target), W(backup), 0);
        Fail(error_);
        return false;
    }
    bool Move(const Text& from, const Text& to, DWORD flags) override {
        return !Refuses(Call::Move) && ReplaceCalls::Move(from, to, flags);
    }
    bool Delete(const Text& path) override {
        const bool there = GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES;
        return !(there && Refuses(Call::Delete)) && ReplaceCalls::Delete(path);
    }

  private:
    static const wchar_t* W(const Text& t) { return reinterpret_cast<const wchar_t*>(t.c_str()); }
    bool Refuses(Call call) {
        for (Refused& r : refused_) {
            if (r.call != call || r.times == 0) continue;
            --r.times;
            Fail(error_ = r.error);
            return true;
        }
        return false;
    }
    std::vector<Refused> refused_;
    DWORD error_ = 0;
};

enum class Waited { Not, Briefly, TwoSeconds };

std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(HeldFile, EachRefusalIsWaitedOutAndTheOldFileStaysWhole) {
    const struct {
        std::vector<Refused> refused;
        int32_t error;  // 0: saved
        Waited waited;
        bool old = true;
    } cases[] = {
        {{{Call::CreateNew, ERROR_SHARING_VIOLATION, 3}}, 0, Waited::Briefly},
        {{{Call::CreateNew, kDeletePending, 3}}, 0, Waited::Briefly},
        {{{Call::Replace, ERROR_SHARING_VIOLATION, 3}}, 0, Waited::Briefly},
        {{{Call::Replace, ERROR_LOCK_VIOLATION, 3}}, 0, Waited::Briefly},
        {{{Call::Replace, ERROR_UNABLE_TO_REMOVE_REPLACED, 3}}, 0, Waited::Briefly},
        {{{Call::Replace, ERROR_UNABLE_TO_MOVE_REPLACEMENT, 3}}, 0, Waited::Briefly},
        {{{Call::Replace, ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, 3}}, 0, Waited::Briefly},
        {{{Call::Replace, kDeletePending, 3}}, 0, Waited::Briefly},
        // A network share that can't replace in place: the new file is moved over the old.
        {{{Call::Replace, ERROR_NOT_SUPPORTED, kNever}, {Call::Move, ERROR_SHARING_VIOLATION, 3}},
         0,
         Waited::Briefly},
        {{{Call::Move, ERROR_SHARING_VIOLATION, 3}}, 0, Waited::Briefly, false},
        {{{Call::Delete, ERROR_SHARING_VIOLATION, 3}}, 0, Waited::Briefly},  // the old, replaced
        {{{Call::Replace, ERROR_SHARING_VIOLATION, kNever}},
         error::PermissionDenied,
         Waited::TwoSeconds},
        {{{Call::Replace, ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, kNever}},
         error::PathFileAccess,
         Waited::TwoSeconds},
        {{{Call::Replace, ERROR_LOCK_VIOLATION, kNever},
          {Call::Delete, ERROR_SHARING_VIOLATION, 3}},
         error::PermissionDenied,
         Waited::TwoSeconds},
        // Denied for good (a folder without our rights): not waited for.
        {{{Call::Replace, ERROR_ACCESS_DENIED, 1}}, error::PathFileAccess, Waited::Not},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case " << (&c - cases));
        TempTree tree;
        if (c.old) std::ofstream(tree.FsPath(u"list.txt"), std::ios::binary) << "old listing";
        int64_t now = 0;
        HeldFileWaits waits{[&] { return now; },
                            [&](int64_t ms) {
                                // Whole at its name whenever the save waits: the old
                                // file, or the new one in its place.
                                const std::string at = Read(tree.FsPath(u"list.txt"));
                                EXPECT_TRUE(!c.old || at == "old listing" || at == "new listing");
                                now += (ms + 15) / 16 * 16;  // Windows' timer tick
                            }};
        HeldCalls calls(c.refused);
        int32_t error = 0;
        try {
            win32::WriteReplacingFile(
                tree.Path(u"list.txt"), [](FileWriter& f) { f.Write("new listing"); }, waits,
                calls);
        } catch (const RunTimeError& e) {
            error = e.number;
        }
        EXPECT_EQ(error, c.error);
        const char* kept = c.old ? "old listing" : "";
        EXPECT_EQ(Read(tree.FsPath(u"list.txt")), error ? kept : "new listing");
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(tree.FsPath(u"")))
            names.push_back(e.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>(error && !c.old ? 0 : 1, "list.txt"));
        const int64_t least[] = {0, 1, 2000}, most[] = {0, 499, 2499};
        EXPECT_GE(now, least[static_cast<int>(c.waited)]);
        EXPECT_LE(now, most[static_cast<int>(c.waited)]);
    }
}

}  // namespace
}  // namespace tarnwick::testing

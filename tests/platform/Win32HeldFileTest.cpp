// The save's replace, its calls refused as Windows refuses them while a scanner or an indexer
// holds a file for a moment (Wine shows few of these): each is waited out for two seconds on
// a clock moved by Windows' timer tick, the old file whole whenever the save waits.
#include <windows.h>
#include <winternl.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "platform/RunTimeError.h"
#include "platform/win32/Wide.h"
#include "platform/win32/files/WriteReplacing.h"
#include "tests/support/TempTree.h"

namespace tarnwick::testing {
namespace {

using win32::W;
enum Call { None, Creating, Replacing, Moving, Deleting };
constexpr int kNever = 1 << 30;
constexpr DWORD kDeletePending = 0;  // access denied, as to a file being deleted

// Refuses the `times` first calls of `call` with `error`, with the status behind it.
class HeldCalls : public win32::ReplaceCalls {
  public:
    HeldCalls(Call call, DWORD error, int times) : call_(call), error_(error), times_(times) {}
    HANDLE CreateNew(const Text& path) override {
        return Refuses(Creating) ? INVALID_HANDLE_VALUE : ReplaceCalls::CreateNew(path);
    }
    bool Replace(const Text& target, const Text& replacement, const Text& backup) override {
        if (!Refuses(Replacing)) return ReplaceCalls::Replace(target, replacement, backup);
        if (error_ == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {  // the old file under the backup name
            MoveFileExW(W(target), W(backup), 0);
            SetLastError(error_);
        }
        return false;
    }
    bool Move(const Text& from, const Text& to, DWORD flags) override {
        return !Refuses(Moving) && ReplaceCalls::Move(from, to, flags);
    }
    bool Delete(const Text& path) override {
        const bool there = GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES;
        return !(there && Refuses(Deleting)) && ReplaceCalls::Delete(path);
    }
    Call also = None;  // refused for good, with `alsoError`
    DWORD alsoError = 0;

  private:
    bool Refuses(Call call) {
        if (call == also) return Fail(alsoError);
        return call == call_ && times_ > 0 && (--times_, Fail(error_));
    }
    static bool Fail(DWORD error) {  // access denied: to a file being deleted, or for good
        const bool denied = error == kDeletePending || error == ERROR_ACCESS_DENIED;
        SetLastError(denied ? RtlNtStatusToDosError(error ? 0xC0000022 : 0xC0000056) : error);
        return true;
    }
    Call call_;
    DWORD error_;
    int times_;
};

std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(HeldFile, EachRefusalIsWaitedOutAndTheOldFileStaysWhole) {
    const struct {
        Call call;
        DWORD error;
        int times;
        int32_t failure;      // 0: saved
        int64_t least, most;  // the time waited
        Call also = None;     // refused for good
        DWORD alsoError = 0;
        bool old = true;
    } cases[] = {
        {Creating, ERROR_SHARING_VIOLATION, 3, 0, 1, 499},
        {Creating, kDeletePending, 3, 0, 1, 499},
        {Replacing, ERROR_SHARING_VIOLATION, 3, 0, 1, 499},
        {Replacing, ERROR_LOCK_VIOLATION, 3, 0, 1, 499},
        {Replacing, ERROR_UNABLE_TO_REMOVE_REPLACED, 3, 0, 1, 499},
        {Replacing, ERROR_UNABLE_TO_MOVE_REPLACEMENT, 3, 0, 1, 499},
        {Replacing, ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, 3, 0, 1, 499},
        {Replacing, kDeletePending, 3, 0, 1, 499},
        {Moving, ERROR_SHARING_VIOLATION, 3, 0, 1, 499, Replacing, ERROR_NOT_SUPPORTED},  // a share
        {Moving, ERROR_SHARING_VIOLATION, 3, 0, 1, 499, None, 0, false},  // no old file
        {Deleting, ERROR_SHARING_VIOLATION, 3, 0, 1, 499},                // the old file, replaced
        {Replacing, ERROR_SHARING_VIOLATION, kNever, error::PermissionDenied, 2000, 2015},
        {Replacing, ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, kNever, error::PathFileAccess, 2000, 2015},
        {Deleting, ERROR_SHARING_VIOLATION, 3, error::PermissionDenied, 2000, 2499, Replacing,
         ERROR_LOCK_VIOLATION},  // then the new file, left over
        {Replacing, ERROR_ACCESS_DENIED, 1, error::PathFileAccess, 0, 0},  // denied for good
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case " << (&c - cases));
        TempTree tree;
        const auto list = tree.FsPath(u"list.txt");
        if (c.old) std::ofstream(list, std::ios::binary) << "old";
        int64_t now = 0;
        HeldFileWaits waits{[&] { return now; },
                            [&](int64_t ms) {
                                const std::string at = Read(list);
                                EXPECT_TRUE(!c.old || at == "old" || at == "new");
                                now += (ms + 15) / 16 * 16;  // Windows' timer tick
                            }};
        HeldCalls calls(c.call, c.error, c.times);
        calls.also = c.also, calls.alsoError = c.alsoError;
        int32_t failure = 0;
        try {
            win32::WriteReplacingFile(
                tree.Path(u"list.txt"), [](FileWriter& f) { f.Write("new"); }, waits, calls);
        } catch (const RunTimeError& e) {
            failure = e.number;
        }
        EXPECT_EQ(failure, c.failure);
        EXPECT_EQ(Read(list), failure ? (c.old ? "old" : "") : "new");
        const auto names = std::distance(std::filesystem::directory_iterator(tree.FsPath(u"")),
                                         std::filesystem::directory_iterator{});
        EXPECT_EQ(names, failure && !c.old ? 0 : 1);
        EXPECT_GE(now, c.least);
        EXPECT_LE(now, c.most);
    }
}

}  // namespace
}  // namespace tarnwick::testing

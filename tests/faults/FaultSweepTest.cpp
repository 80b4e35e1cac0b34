// Every file-system call of a walk, a run, a save and /list made to fail in turn, with
// every error: never a crash or a hang; the listing is what a walk reading each folder in
// turn gives with the same call failing, or a run ended for want of memory; a save or
// /list that fails leaves the old file as it was, nothing beside it, and says so; every
// folder opened is closed.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/ListCommand.h"
#include "platform/HelperThreads.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/HandleCount.h"
#include "tests/support/ScriptedPump.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestWindow.h"
#include "window/memory/MemoryForm.h"

namespace tarnwick::testing {
namespace {

// Ends the program, naming the step, when a step has not come back within a minute.
class Watchdog {
  public:
    Watchdog()
        : thread_([this] {
              std::unique_lock lock(mutex_);
              while (!done_) {
                  const long at = step_;
                  if (!changed_.wait_for(lock, std::chrono::seconds(60),
                                         [&] { return done_ || step_ != at; }) &&
                      armed_) {
                      std::fprintf(stderr, "hung at %s\n", what_.c_str());
                      std::abort();
                  }
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    void Arm(std::string what, bool armed = true) {
        {
            std::lock_guard lock(mutex_);
            what_ = std::move(what), armed_ = armed, ++step_;
        }
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string what_;
    bool armed_ = false, done_ = false;
    long step_ = 0;
    std::thread thread_;
};

// What a user sees of one run, save or /list.
struct Outcome {
    std::string bytes;           // the listing in the window, or the file written
    std::vector<int32_t> boxes;  // error boxes shown, or /list's error lines
    int code = 0;                // /list's exit code
    Text title;
    size_t beside = 0;  // files in the tree's root
    friend bool operator==(const Outcome&, const Outcome&) = default;
};
void PrintTo(const Outcome& o, std::ostream* os) {
    *os << "code " << o.code << ", " << o.boxes.size() << " boxes, title " << Narrow(o.title)
        << ", " << o.beside << " files, \n"
        << o.bytes;
}

class Console : public CommandConsole {
  public:
    bool Output(std::string_view bytes) override {
        out += bytes;
        return true;
    }
    void OutputLine(TextView) override {}
    void ErrorLine(TextView) override { ++errors; }
    int32_t errors = 0;
    std::string out;
};

constexpr const char* kCallNames[] = {"open",   "entry", "attributes", "identity",
                                      "create", "write", "restart",    "replace"};
constexpr const char* kFaultNames[] = {"access denied", "not found",    "sharing violation",
                                       "disk full",     "network gone", "out of memory",
                                       "bad_alloc"};

class FaultSweep : public ::testing::Test {
  protected:
    void SetUp() override {
        // Listed in t, written beside it: a file replaced would move in its folder's order.
        for (TextView f :
             {u"t/a/1.txt", u"t/a/b/2.txt", u"t/a/b/c/3.txt", u"t/d/4.txt", u"t/文件夹/e/5.txt"})
            tree.File(f);
        tree.FolderLink(u"t/d/up", tree.Path(u"t"));  // leads back: asks for identities
        SetUpForm(w->Form());
        SetUpForm(engine.form);
        w->Desktop().errorBoxes.clear();
        engine.desktop.errorBoxes.clear();
    }
    ~FaultSweep() override { helpers::WaitUntilAllEnded(); }

    void SetUpForm(frmMain& form) {
        form.readAhead.weighEvery = {};  // read ahead to the end
        form.ChFiles.SetValue(1);
        form.ChNoPath.SetValue(0);
        form.txtLevel.SetText(u"9");
        form.SkipChange = True;  // without the location handlers
        form.txtPath.SetText(tree.Path(u"t"));
        form.SkipChange = False;
    }

    // Runs `run` with the nth call of each kind in `calls` failing with each fault, n from 1
    // until a run makes fewer calls of that kind; `check` judges each outcome.
    template <class Run, class Check>
    void Sweep(std::span<const Call> calls, Run run, Check check) {
        const bool reads = calls.front() < Call::Create;
        files.FailAt(Call::Open, 0, Fault::AccessDenied);
        whole = run();
        const int handles = ProcessHandles();
        Watchdog watchdog;
        long steps = 0;
        for (const Call c : calls) {
            for (const Fault f : reads ? std::span<const Fault>(kReadFaults) : kFaults) {
                for (long n = 1;; ++n) {
                    const std::string what = std::string(kCallNames[static_cast<int>(c)]) + " " +
                                             std::to_string(n) + ": " +
                                             kFaultNames[static_cast<int>(f)];
                    watchdog.Arm(what);
                    files.FailAt(c, n, f);
                    const Outcome got = run();
                    helpers::WaitUntilAllEnded();
                    watchdog.Arm(what, false);
                    const auto site = files.Struck();
                    if (!site) break;
                    ++steps;
                    SCOPED_TRACE(what + " at " + Narrow(site->where));
                    EXPECT_EQ(files.OpenEnumerations(), 0);
                    EXPECT_EQ(got.beside, whole.beside);
                    check(got, *site, f);
                    if (HasFailure()) return;
                }
            }
        }
        EXPECT_GT(steps, 20);
        EXPECT_LE(ProcessHandles(), handles + 2);  // a leak grows with the steps
    }

    // The listing must be the sequential walk's with the same call failing; or, with memory
    // run short, the whole listing, or the run ended as `outOfMemory` says.
    template <class Run, class OutOfMemory>
    void ExpectSequential(const Outcome& got, const FaultSite& site, Fault f, Run run,
                          OutOfMemory outOfMemory) {
        const bool once = f == Fault::OutOfMemory || f == Fault::BadAlloc;
        if (once && got == whole) return;  // failed in a reader: the walk read it itself
        if (f == Fault::BadAlloc) {
            EXPECT_TRUE(outOfMemory(got)) << got.bytes;
            return;
        }
        files.readers = false;
        files.FailAtSite(site, f);
        const Outcome sequential = run();
        files.readers = true;
        EXPECT_EQ(got, sequential) << ::testing::PrintToString(whole);
    }
    bool EndedWithErrorBox7(const Outcome& got) const {
        return got.boxes == std::vector<int32_t>{error::OutOfMemory} &&
               whole.bytes.starts_with(got.bytes);
    }

    std::string Read(TextView relative) {
        std::ifstream in(tree.FsPath(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void Write(TextView relative, std::string_view bytes) {
        std::ofstream(tree.FsPath(relative), std::ios::binary) << bytes;
    }
    size_t Beside() {
        return static_cast<size_t>(
            std::distance(std::filesystem::directory_iterator(tree.FsPath(u"")), {}));
    }
    Outcome Shown(frmMain& form, MemoryDesktop& desktop) {
        Outcome o{ToUtf8(form.txtResult.GetText()), {}, 0, form.Me.GetCaption(), Beside()};
        for (const RunTimeError& e : desktop.errorBoxes) o.boxes.push_back(e.number);
        desktop.errorBoxes.clear();
        return o;
    }

    TempTree tree;
    std::unique_ptr<FileSystem> real = MakeFileSystem();
    FaultyFileSystem files{*real};
    ScriptedPump pump;
    std::unique_ptr<TestWindow> w = StartTestWindow(files, pump);
    MemoryForm engine{files, pump};
    Outcome whole;
};

TEST_F(FaultSweep, AWalkPassesOverExactlyTheFoldersThatFailed) {
    const auto walk = [&] {
        engine.txtResult.SetText(u"");
        engine.form.Levels = 9, engine.form.DirsOnly = False, engine.form.DirAttr = 16;
        try {
            engine.form.ListFile(tree.Path(u"t"), 1);
        } catch (const RunTimeError& e) {
            engine.desktop.ShowErrorBox(e);
        }
        return Shown(engine.form, engine.desktop);
    };
    Sweep(kReadCalls, walk, [&](const Outcome& got, const FaultSite& site, Fault f) {
        ExpectSequential(got, site, f, walk,
                         [&](const Outcome& o) { return EndedWithErrorBox7(o); });
    });
}

TEST_F(FaultSweep, ARunPassesOverTheFoldersThatFailedOrEndsWithTheErrorBox) {
    const auto run = [&] {
        w->Form().cmdDoIt_Click();
        EXPECT_EQ(w->Form().Running, False);
        EXPECT_EQ(w->Form().cmdDoIt.GetCaption(), u"开始列举(&B)");
        return Shown(w->Form(), w->Desktop());
    };
    Sweep(kReadCalls, run, [&](const Outcome& got, const FaultSite& site, Fault f) {
        ExpectSequential(got, site, f, run,
                         [&](const Outcome& o) { return EndedWithErrorBox7(o); });
    });
}

TEST_F(FaultSweep, ASaveThatFailsLeavesTheOldFileAndSaysSo) {
    tree.File(u"t/d/\U0001F642.txt");  // beyond the code page: the save starts again in UTF-8
    w->Form().cmdDoIt_Click();
    ASSERT_THAT(ToUtf8(w->Form().txtResult.GetText()), ::testing::HasSubstr("\U0001F642"));
    const auto save = [&] {
        Write(u"out.txt", "old");
        w->Desktop().answers = {tree.Path(u"out.txt")};
        w->Form().cmdSave_Click();
        Outcome o = Shown(w->Form(), w->Desktop());
        o.bytes = Read(u"out.txt");
        return o;
    };
    Sweep(kWriteCalls, save, [&](const Outcome& got, const FaultSite&, Fault f) {
        const RunTimeError e = WriteFault(f);
        EXPECT_EQ(got.title, u"保存失败。" + e.description);
        EXPECT_EQ(got.boxes, std::vector<int32_t>{e.number});
        EXPECT_EQ(got.bytes, "old");
    });
    EXPECT_EQ(whole.title, u"保存成功。（UTF-8）");
}

// Read to the console, written to a file: a file's every save waits for the disk.
TEST_F(FaultSweep, ListExitsZeroOnlyWithTheWholeListingWritten) {
    const auto maker = [](FileSystem& f, EventPump& e) {
        auto window = MakeListingWindow(f, e);
        window->Form().readAhead.weighEvery = {};
        return window;
    };
    std::vector<Text> args{u"/list", tree.Path(u"t"), u"/depth", u"9", u"/files"};
    const auto list = [&] {
        Write(u"out.txt", "old");
        Console console;
        const int code = RunCommand(args, files, console, maker);
        const std::string written = args.size() > 5 ? Read(u"out.txt") : console.out;
        return Outcome{written, std::vector<int32_t>(console.errors, 1), code, {}, Beside()};
    };
    Sweep(kReadCalls, list, [&](const Outcome& got, const FaultSite& site, Fault f) {
        ExpectSequential(got, site, f, list, [](const Outcome& o) {
            return o.code == 6 && o.bytes.empty() && o.boxes.size() == 1;
        });
    });
    args.insert(args.end(), {u"/out", tree.Path(u"out.txt")});
    Sweep(kWriteCalls, list, [&](const Outcome& got, const FaultSite&, Fault f) {
        const bool memory = f == Fault::OutOfMemory || f == Fault::BadAlloc;
        EXPECT_EQ(got, (Outcome{"old", {1}, memory ? 6 : 5, {}, whole.beside}));
    });
    EXPECT_EQ(whole.code, 0);
}

}  // namespace
}  // namespace tarnwick::testing

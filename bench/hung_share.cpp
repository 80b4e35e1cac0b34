#include "bench/hung_share.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <optional>
#include <thread>

#include "bench/Timing.h"
#include "bench/synthetic_tree.h"
#include "listing/HelperThreads.h"
#include "window/memory/MemoryForm.h"

namespace tarnwick::bench {
namespace {

constexpr size_t kFolders = 6;
constexpr size_t kFiles = 3000;
constexpr double kTargetMs = 50;

enum class Action { None, Stop, Close, Lower };
struct Closed {};  // what End throws: the window has gone

// Takes the action at the first pump once the listing holds `atLines` lines. The walk goes
// on from the folder before "hung" only once a worker is stuck in "hung" (or 2 s have
// passed), so that the walk finds it being read.
struct ActingPump : EventPump {
    int DoEvents() override {
        if (acted && !nextPump) {
            nextPump = Clock::now();
            if (stopAtNextPump) form->StopRequested = True;
        }
        if (action == Action::None) return 1;
        const size_t lines = box->Store().LineCount() - 1;
        if (lines >= 1 && !waited) WaitForStuckWorker();
        if (!acted && lines >= atLines) Act();
        return closed ? 0 : 1;
    }
    [[noreturn]] void End() override { throw Closed{}; }

    void WaitForStuckWorker() {
        for (int ms = 0; ms < 2000 && tree->Stuck() == 0; ++ms)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        waited = true;
    }

    void Act() {
        workerStuck = tree->Stuck() != 0;
        acted = Clock::now();
        if (action == Action::Stop) form->StopRequested = True;
        if (action == Action::Close) closed = true;
        if (action == Action::Lower) form->Levels = 1;
    }

    Action action = Action::None;
    size_t atLines = 0;
    bool stopAtNextPump = false;  // ends a walk that goes on waiting
    frmMain* form = nullptr;
    MemoryResultBox* box = nullptr;
    SyntheticTree* tree = nullptr;
    bool waited = false;
    bool closed = false;
    bool workerStuck = false;
    std::optional<Clock::time_point> acted, nextPump;
};

struct Outcome {
    double ms = -1;  // from the action to the walk's end, or to the next pump
    bool workerStuck = false;
    double seconds = 0;  // the whole walk
    size_t lines = 0;
};

// Files too, every level. In the folder before "hung" the listing holds the line of that
// folder; while the walk waits for "hung", that folder's lines and the line of "hung" too.
Outcome Walk(SyntheticTree& tree, Action action, bool whileWaiting) {
    ActingPump pump;
    MemoryForm window(tree, pump);
    frmMain& form = window.form;
    form.DirsOnly = False;
    form.DirAttr = 18;
    form.NoPath = False;
    form.Levels = 32767;
    form.StopRequested = False;
    pump.action = action;
    pump.atLines = whileWaiting ? kFiles + 2 : 1;
    pump.stopAtNextPump = whileWaiting && action == Action::Lower;
    pump.form = &form;
    pump.box = &window.txtResult;
    pump.tree = &tree;
    const auto start = Clock::now();
    try {
        form.ListFile(u"synthetic", 1);
    } catch (const Closed&) {
    }
    const auto end = Clock::now();
    Outcome o{-1, pump.workerStuck, Seconds(start, end), window.txtResult.Store().LineCount() - 1};
    // A walk that ends the folder it waits for at once has no next pump: its end counts.
    const auto until = pump.stopAtNextPump ? pump.nextPump.value_or(end) : end;
    if (pump.acted) o.ms = Seconds(*pump.acted, until) * 1000;
    return o;
}

}  // namespace

// Each walk gets a tree of its own, so that the workers stuck in earlier walks are not
// taken for its own; they all end before the trees go.
void TimeHungShare() {
    std::deque<SyntheticTree> trees;
    const auto walk = [&](bool hung, Action action, bool whileWaiting) {
        trees.emplace_back(SyntheticTree::Shape{u"synthetic", kFolders, kFiles, hung});
        return Walk(trees.back(), action, whileWaiting);
    };
    std::printf(
        "hung share: %zu folders of %zu files, a worker stuck 3 s in the first batch of "
        "the second (\"hung\")\n",
        kFolders, kFiles);
    double worst = 0;
    const auto show = [&](const char* before, const char* what, const Outcome& o) {
        std::printf("%s%s %.1f ms%s", before, what, o.ms,
                    o.workerStuck ? "" : " (no worker stuck)");
        worst = std::max(worst, o.ms < 0 ? 1e9 : o.ms);
    };
    std::printf("  at a pump in the folder before \"hung\", to the walk's end:");
    show(" ", "stop", walk(true, Action::Stop, false));
    show(", ", "close", walk(true, Action::Close, false));
    show(", ", "depth lowered to 1", walk(true, Action::Lower, false));
    std::printf("\n  while the walk waits for \"hung\", to the walk's end:");
    show(" ", "stop", walk(true, Action::Stop, true));
    show(", ", "close", walk(true, Action::Close, true));
    show("; ", "depth lowered to 1, to the next pump", walk(true, Action::Lower, true));
    std::printf("\n  worst %.1f ms (target <= %.0f ms)\n", worst, kTargetMs);
    const Outcome plain = walk(false, Action::None, false);
    std::printf("  the same tree without the hang: %zu lines in %.1f ms\n", plain.lines,
                plain.seconds * 1000);
    helpers::WaitUntilAllEnded();
}

}  // namespace tarnwick::bench

// Lists a real folder of about 10,000 entries into the visible window under Wine, through
// a click on the start button, and times it against a bare FindFirstFileExW walk of the
// same folder in the same run. Then starts the listing again and clicks the start button
// from a timer while it runs, to show that the window answers a stop.
//
//   window_bench [entries]      (default 10000)
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_tree.h"
#include "platform/win32/Win32EventPump.h"
#include "window/win32/Win32Form.h"

namespace tarnwick::bench {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

Clock::time_point stopClickedAt;
HWND startButton;

void CALLBACK ClickStop(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    stopClickedAt = Clock::now();
    PostMessageW(startButton, BM_CLICK, 0, 0);
}

int Main(int argc, wchar_t** argv) {
    const size_t wanted = argc > 1 ? std::wcstoul(argv[1], nullptr, 10) : 10000;
    const Text root = TempRoot();
    const size_t made = BuildTree(root, wanted);

    auto files = MakeFileSystem();
    win32::Win32EventPump events;
    Win32Form app(*files, events);
    app.Show(SW_SHOWNORMAL);
    startButton = app.cmdDoIt.Handle();
    app.ChFiles.SetValue(1);
    app.ChNoPath.SetValue(0);
    app.txtLevel.SetText(u"32767");
    app.form.SkipChange = True;  // the path box only: no location handlers for the bench
    app.txtPath.SetText(root);
    events.DoEvents();

    // Both walks read a warm tree: the reference first, then the window, then the
    // reference again, the better of its two times counting.
    const std::wstring folder = std::wstring(root.begin(), root.end()) + L"\\";
    auto start = Clock::now();
    size_t bare = BareWalk(folder);
    double reference = Seconds(start);

    start = Clock::now();
    SendMessageW(startButton, BM_CLICK, 0, 0);
    const double window = Seconds(start);
    const Text text = app.txtResult.GetText();
    const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), u'\n'));

    start = Clock::now();
    bare = BareWalk(folder);
    reference = std::min(reference, Seconds(start));

    std::printf("entries made: %zu; lines in the window: %zu; bare walk found %zu\n", made, lines,
                bare);
    std::printf("window listing: %.3f s; bare FindFirstFileExW walk: %.3f s; ratio %.2f\n", window,
                reference, window / reference);

    // A stop click 30% into a second run: how long until the run has ended.
    SetTimer(nullptr, 0, static_cast<UINT>(window * 300), ClickStop);
    start = Clock::now();
    SendMessageW(startButton, BM_CLICK, 0, 0);
    const double stopped = std::chrono::duration<double>(Clock::now() - stopClickedAt).count();
    std::printf("second run stopped after %.3f s; the stop click was answered within %.0f ms\n",
                Seconds(start), stopped * 1000);
    RemoveTree(root);
    return lines == made ? 0 : 1;
}

}  // namespace
}  // namespace tarnwick::bench

int wmain(int argc, wchar_t** argv) {
    return tarnwick::bench::Main(argc, argv);
}

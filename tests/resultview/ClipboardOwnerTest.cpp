// Whoever owned the clipboard before, the view's copy never makes its window wait on
// another program. Taking the clipboard empties it, and the system sends the last owner
// WM_DESTROYCLIPBOARD and waits for its answer; a program that has stopped answering (here
// a real second process, hung on purpose) would hold the window for as long as it hangs.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "resultview/win32/ResultBoxWindow.h"
#include "tests/support/Clipboard.h"

namespace tarnwick::win32 {
namespace {

using testing::ClipboardText;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kPrompt{100};  // a key press answered
constexpr milliseconds kClose{1000};
// Far beyond both: only a wait on the hung program can take that long.
constexpr DWORD kHangMs = 30000;

template <class F>
milliseconds Timed(F f) {
    const auto start = Clock::now();
    f();
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

// The clipboard's owner: a second program that takes it, then answers its messages or
// hangs, until ended.
class OtherProgram {
  public:
    explicit OtherProgram(bool hangs) {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        const auto program =
            std::filesystem::path(self).parent_path() / L"hung_clipboard_owner.exe";
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        ready_ = CreateEventW(&inherited, TRUE, FALSE, nullptr);
        std::wstring line = L"\"" + program.wstring() + L"\" " +
                            std::to_wstring(reinterpret_cast<uintptr_t>(ready_)) + L" " +
                            std::to_wstring(hangs ? kHangMs : 0);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                            &process_))
            return;
        const HANDLE either[] = {ready_, process_.hProcess};
        owns_ = WaitForMultipleObjects(2, either, FALSE, 60000) == WAIT_OBJECT_0;
    }
    ~OtherProgram() {
        End();
        CloseHandle(ready_);
    }
    bool OwnsTheClipboard() const { return owns_; }
    // As from the task manager: whatever waits on it goes on.
    void End() {
        if (!process_.hProcess) return;
        TerminateProcess(process_.hProcess, 0);
        WaitForSingleObject(process_.hProcess, INFINITE);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = {};
    }

  private:
    HANDLE ready_ = nullptr;
    PROCESS_INFORMATION process_{};
    bool owns_ = false;
};

void PressCtrlC(HWND box) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(box, WM_KEYDOWN, 'C', 1);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
}

// How long `box` takes to tell its text to another thread, while this one answers as the
// program's loop does.
milliseconds TextAnswerTime(HWND box, std::wstring& text) {
    milliseconds took{};
    const HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread asker([&] {
        wchar_t buffer[64] = L"";
        took = Timed([&] {
            SendMessageTimeoutW(box, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                                10000, nullptr);
        });
        text = buffer;
        SetEvent(done);
    });
    while (MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    asker.join();
    CloseHandle(done);
    return took;
}

// The offer's windows of this process: none left once a copy is wholly handed over.
bool OfferWindowsLeft() {
    for (HWND w = nullptr;
         (w = FindWindowExW(HWND_MESSAGE, w, L"TarnwickClipboardOffer", nullptr)) != nullptr;) {
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        if (process == GetCurrentProcessId()) return true;
    }
    return false;
}

TEST(ClipboardOwner, ACopyWaitsForALastOwnerThatAnswersButNeverForOneThatHangs) {
    const HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                        nullptr, nullptr, nullptr, nullptr);
    auto view = std::make_unique<Win32ResultBox>(parent, Rect{10, 10, 340, 200}, 1);
    const HWND box = view->Handle();
    view->SetText(u"first\r\nsecond\r\nthird");

    // The last owner a window of the view's own thread (the path box after its copy), which
    // answers while Ctrl+C waits for the copy: it is there when Ctrl+C returns.
    const HWND edit = CreateWindowExW(0, L"EDIT", L"C:\\path", WS_CHILD, 0, 0, 100, 20, parent,
                                      nullptr, nullptr, nullptr);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_COPY, 0, 0);
    ASSERT_EQ(ClipboardText(), L"C:\\path");
    view->Select(0, 5);
    PressCtrlC(box);
    EXPECT_EQ(ClipboardText(), L"first");

    {  // The last owner another program, which answers: as above.
        OtherProgram answering(false);
        ASSERT_TRUE(answering.OwnsTheClipboard());
        view->Select(0, 13);
        PressCtrlC(box);
        EXPECT_EQ(ClipboardText(), L"first\r\nsecond");
    }

    OtherProgram hung(true);
    ASSERT_TRUE(hung.OwnsTheClipboard());
    view->Select(7, 13);
    EXPECT_LT(Timed([&] { PressCtrlC(box); }), kPrompt) << "the copy waited on the hung program";
    std::wstring shown;
    EXPECT_LT(TextAnswerTime(box, shown), kPrompt) << "the window stopped answering";
    EXPECT_EQ(shown, L"first\r\nsecond\r\nthird");
    view->Select(15, 20);
    EXPECT_LT(Timed([&] { PressCtrlC(box); }), kPrompt) << "a newer copy waited on the last";
    view->SetText(u"changed");
    EXPECT_LT(Timed([&] { DestroyWindow(parent); }), kClose) << "the close waited";

    // Once the hung program lets go, the newest copy goes in as it was when copied, though
    // its window has gone.
    hung.End();
    for (int tries = 0; tries < 3000 && OfferWindowsLeft(); ++tries) Sleep(10);
    EXPECT_FALSE(OfferWindowsLeft());
    EXPECT_EQ(ClipboardText(), L"third");
    view.reset();
}

}  // namespace
}  // namespace tarnwick::win32

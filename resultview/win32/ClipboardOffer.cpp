#include "resultview/win32/ClipboardOffer.h"

#include <atomic>
#include <new>

namespace tarnwick::win32 {
namespace {

constexpr wchar_t kClass[] = L"TarnwickClipboardOffer";
constexpr UINT kTake = WM_APP;  // also the retry timer's id
constexpr UINT kRetryMs = 20;
constexpr int kMostRetries = 250;
// The most the window's thread waits for the offer's to take a copy: its own few calls,
// on a busy machine...
constexpr DWORD kHandOverMs = 250;
// ...and for another program that owns the clipboard to let go of it. One that answers
// does so within milliseconds; one that does not holds the copy up, not the window.
constexpr DWORD kOtherProgramMs = 50;
constexpr DWORD kCloseMs = 400;  // the most a close waits on another program

// What the offer's thread is doing that the window's thread should not wait for.
enum Busy : LONG { kFree, kRendering, kOnOtherProgram };

DWORD Left(ULONGLONG spent, DWORD bound) {
    return spent >= bound ? 0 : static_cast<DWORD>(bound - spent);
}

// Waits on `handles` as long as `left(ms spent)` says (0: no longer), answering meanwhile
// what other threads send this one: the clipboard's last owner may be a window of this
// thread, which the offer's thread asks to let go.
template <class LeftToWait>
void AwaitAnswering(const HANDLE* handles, DWORD count, LeftToWait left) {
    const ULONGLONG start = GetTickCount64();
    for (DWORD ms; (ms = left(GetTickCount64() - start)) != 0;) {
        const DWORD woke = MsgWaitForMultipleObjects(count, handles, FALSE, ms, QS_SENDMESSAGE);
        MSG msg;
        if (woke == WAIT_OBJECT_0 + count)
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        else if (woke == WAIT_FAILED)
            return;
    }
}

bool OfAnotherProgram(HWND window) {
    DWORD process = 0;
    return window && GetWindowThreadProcessId(window, &process) && process != GetCurrentProcessId();
}

}  // namespace

// Shared by the offer and its thread, and freed by whichever lets go last: a thread that a
// hung program holds up outlives the offer.
struct ClipboardOffer::Courier {
    ~Courier() {
        if (HGLOBAL left = waiting.exchange(nullptr)) GlobalFree(left);
        if (promised) GlobalFree(promised);
        if (news) CloseHandle(news);
    }
    void Release() {
        if (--refs == 0) delete this;
    }

    // On the window's thread: the copy's number, to wait for.
    LONG Hand(HGLOBAL text) {
        if (HGLOBAL older = waiting.exchange(text)) GlobalFree(older);  // never taken: superseded
        const LONG copy = ++handed;
        PostMessageW(window, kTake, 0, 0);
        return copy;
    }

    // On the courier's thread.
    void Take();
    bool Open();
    void Promise();
    void Render() {
        HGLOBAL text = promised;
        promised = nullptr;
        if (text && !SetClipboardData(CF_UNICODETEXT, text)) GlobalFree(text);
    }
    void RenderForPaste() {
        const LONG was = busy.exchange(kRendering);
        Render();
        Tell(static_cast<Busy>(was));
    }
    void LetGo() {
        if (promised) GlobalFree(promised);
        promised = nullptr;
    }
    void Tell(Busy now) {
        busy = now;
        SetEvent(news);
    }

    HANDLE news = CreateEventW(nullptr, FALSE, FALSE, nullptr);  // set whenever these change:
    std::atomic<LONG> handed{0}, taken{0};  // copies handed over; those the thread is done with
    std::atomic<LONG> busy{kFree};
    std::atomic<HGLOBAL> waiting{nullptr};  // the newest copy not yet on the clipboard
    HWND window = nullptr;       // the courier's, which owns the clipboard while it promises
    HGLOBAL promised = nullptr;  // the copy on the clipboard, until handed over or let go
    std::atomic<int> refs{2};    // the offer's and the thread's
    int retries = 0;
    bool closing = false;  // the window goes once nothing waits
};

// The newest copy handed over goes on the clipboard. While another program holds it open,
// tried again every kRetryMs from the courier's loop, which meanwhile answers that program
// if it is reading our last copy.
void ClipboardOffer::Courier::Take() {
    const LONG copy = handed;  // what is taken below is this copy or a newer one
    const bool opened = waiting && Open();
    if (waiting && !opened && ++retries < kMostRetries) {
        SetTimer(window, kTake, kRetryMs, nullptr);
        taken = copy;
        Tell(kOnOtherProgram);
        return;
    }
    retries = 0;
    KillTimer(window, kTake);
    if (opened) {
        Promise();
        CloseClipboard();
    } else if (HGLOBAL text = waiting.exchange(nullptr)) {
        GlobalFree(text);  // held for seconds: the copy fails, as an edit box's would at once
    }
    taken = copy;
    Tell(kFree);
    if (closing) DestroyWindow(window);
}

// Emptying the clipboard waits for its last owner's answer, and under Wine opening it may
// too: when that is another program, the window's thread is told not to wait for it.
bool ClipboardOffer::Courier::Open() {
    if (OfAnotherProgram(GetClipboardOwner())) Tell(kOnOtherProgram);
    if (!OpenClipboard(window)) return false;
    if (OfAnotherProgram(GetClipboardOwner())) Tell(kOnOtherProgram);  // taken meanwhile
    return true;
}

// With the clipboard open.
void ClipboardOffer::Courier::Promise() {
    EmptyClipboard();  // the last owner is told, and answers first; ours lets go of its copy
    LetGo();
    promised = waiting.exchange(nullptr);  // the newest, also one handed over meanwhile
    if (!promised) return;
    // A promise is answered with no handle, as a failure is: ask what the clipboard holds.
    SetClipboardData(CF_UNICODETEXT, nullptr);
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT)) Render();  // no promise taken: hand over
}

void ClipboardOffer::End() {
    if (!courier_) return;
    Courier& courier = *courier_;
    // Destroying its window asks it for what it still promises (WM_RENDERALLFORMATS).
    if (PostMessageW(courier.window, WM_CLOSE, 0, 0)) {
        const HANDLE handles[] = {thread_, courier.news};
        AwaitAnswering(handles, 2, [&](ULONGLONG spent) {
            if (WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0) return DWORD{0};
            return courier.busy == kOnOtherProgram ? Left(spent, kCloseMs) : INFINITE;
        });
    }
    CloseHandle(thread_);
    thread_ = nullptr;
    courier_ = nullptr;
    courier.Release();
}

bool ClipboardOffer::Put(HGLOBAL text, HWND window) {
    if (!courier_ && !failed_ && !Start()) failed_ = true;
    if (failed_) {  // the edit box's way, on this thread
        if (!OpenClipboard(window)) return false;
        EmptyClipboard();
        if (!SetClipboardData(CF_UNICODETEXT, text)) GlobalFree(text);
        CloseClipboard();
        return true;
    }
    Courier& courier = *courier_;
    const bool heldUp = courier.busy != kFree;  // by an earlier copy, or a paste
    const LONG copy = courier.Hand(text);
    if (heldUp) return true;
    AwaitAnswering(&courier.news, 1, [&](ULONGLONG spent) {
        if (courier.taken >= copy) return DWORD{0};
        return Left(spent, courier.busy == kOnOtherProgram ? kOtherProgramMs : kHandOverMs);
    });
    return true;
}

bool ClipboardOffer::Start() {
    static const ATOM atom = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClass;
        return RegisterClassW(&wc);
    }();
    auto* courier = atom ? new (std::nothrow) Courier : nullptr;
    if (!courier) return false;
    if (courier->news) thread_ = CreateThread(nullptr, 0, ThreadMain, courier, 0, nullptr);
    if (!thread_) {
        delete courier;
        return false;
    }
    const HANDLE either[] = {courier->news, thread_};
    WaitForMultipleObjects(2, either, FALSE, INFINITE);  // its window made, or none
    if (!courier->window) {
        CloseHandle(thread_);
        thread_ = nullptr;
        courier->Release();
        return false;
    }
    courier_ = courier;
    return true;
}

DWORD WINAPI ClipboardOffer::ThreadMain(void* param) {
    auto* courier = static_cast<Courier*>(param);
    // A message-only window: it owns the clipboard and is asked for the text, nothing else.
    const HWND window = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
    if (window) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(courier));
    courier->window = window;
    SetEvent(courier->news);
    MSG msg;
    while (window && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    courier->Release();
    return 0;
}

LRESULT CALLBACK ClipboardOffer::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* courier = reinterpret_cast<Courier*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!courier) return DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
        case WM_RENDERFORMAT:  // a program pastes: the clipboard is open for us
            if (wp == CF_UNICODETEXT) courier->RenderForPaste();
            return 0;
        case WM_RENDERALLFORMATS:  // the window goes while the clipboard holds our promise
            if (OpenClipboard(hwnd)) {
                if (GetClipboardOwner() == hwnd) courier->Render();
                CloseClipboard();
            }
            return 0;
        case WM_DESTROYCLIPBOARD:  // another copy took the clipboard's place
            courier->LetGo();
            return 0;
        case kTake:
        case WM_TIMER:
            courier->Take();
            return 0;
        case WM_CLOSE:  // a copy waiting goes in first if it can
            courier->closing = true;
            courier->Take();
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace tarnwick::win32

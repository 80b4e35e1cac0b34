#include "resultview/win32/ClipboardOffer.h"

namespace tarnwick::win32 {
namespace {

constexpr wchar_t kClass[] = L"TarnwickClipboardOffer";
constexpr UINT kRetry = WM_APP;  // also the retry timer's id
constexpr UINT kRetryMs = 20;
constexpr int kMostRetries = 250;

struct StartUp {
    ClipboardOffer* offer;
    HANDLE ready;
    HWND window = nullptr;
};

}  // namespace

void ClipboardOffer::End() {
    if (thread_) {
        // Destroying the window asks it for what it still promises (WM_RENDERALLFORMATS).
        if (PostMessageW(owner_, WM_CLOSE, 0, 0)) WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
        owner_ = nullptr;
    }
    if (HGLOBAL left = TakePromised()) GlobalFree(left);
    if (HGLOBAL left = InterlockedExchangePointer(&waiting_, nullptr)) GlobalFree(left);
}

bool ClipboardOffer::Put(HGLOBAL text, HWND window) {
    if (!owner_ && !failed_ && !Start()) failed_ = true;
    if (failed_) {  // the edit box's way, on this thread
        if (!OpenClipboard(window)) return false;
        EmptyClipboard();
        if (!SetClipboardData(CF_UNICODETEXT, text)) GlobalFree(text);
        CloseClipboard();
        return true;
    }
    if (!OpenClipboard(owner_)) {
        if (HGLOBAL older = InterlockedExchangePointer(&waiting_, text)) GlobalFree(older);
        PostMessageW(owner_, kRetry, 0, 0);
        return true;
    }
    Promise(text);
    CloseClipboard();
    return true;
}

void ClipboardOffer::Promise(HGLOBAL text) {
    if (HGLOBAL older = InterlockedExchangePointer(&waiting_, nullptr)) GlobalFree(older);
    EmptyClipboard();  // lets go of the last snapshot, if it was ours
    if (HGLOBAL old = InterlockedExchangePointer(&promised_, text)) GlobalFree(old);
    // A promise is answered with no handle, as a failure is: ask what the clipboard holds.
    SetClipboardData(CF_UNICODETEXT, nullptr);
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT)) {
        // The system would not take a promise: hand the text over now.
        text = TakePromised();
        if (text && !SetClipboardData(CF_UNICODETEXT, text)) GlobalFree(text);
    }
}

// Tried again every kRetryMs from the offer's own loop, which meanwhile answers the program
// holding the clipboard if it is reading our last copy.
void ClipboardOffer::Retry() {
    // Nothing waits any more when a newer copy went in from the window's thread.
    const bool opened = waiting_ && OpenClipboard(owner_);
    if (waiting_ && !opened && ++retries_ < kMostRetries) {
        SetTimer(owner_, kRetry, kRetryMs, nullptr);
        return;
    }
    retries_ = 0;
    KillTimer(owner_, kRetry);
    HGLOBAL text = InterlockedExchangePointer(&waiting_, nullptr);
    if (opened) {
        if (text) Promise(text);
        CloseClipboard();
    } else if (text) {
        GlobalFree(text);  // held for seconds: the copy fails, as an edit box's would at once
    }
}

bool ClipboardOffer::Start() {
    static const ATOM atom = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClass;
        return RegisterClassW(&wc);
    }();
    if (!atom) return false;
    StartUp start{this, CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    if (!start.ready) return false;
    thread_ = CreateThread(nullptr, 0, ThreadMain, &start, 0, nullptr);
    if (thread_) WaitForSingleObject(start.ready, INFINITE);
    CloseHandle(start.ready);
    if (thread_ && !start.window) {  // the thread has ended: it had no window
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    owner_ = start.window;
    return owner_ != nullptr;
}

DWORD WINAPI ClipboardOffer::ThreadMain(void* param) {
    auto* start = static_cast<StartUp*>(param);
    // A message-only window: it owns the clipboard and is asked for the text, nothing else.
    const HWND window = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
    if (window) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(start->offer));
    start->window = window;
    SetEvent(start->ready);  // `start` is gone from here on
    if (!window) return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}

LRESULT CALLBACK ClipboardOffer::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<ClipboardOffer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
        case WM_RENDERFORMAT:  // a program pastes: the clipboard is open for us
            if (self && wp == CF_UNICODETEXT) self->Render();
            return 0;
        case WM_RENDERALLFORMATS:  // the window goes while the clipboard holds our promise
            if (self && OpenClipboard(hwnd)) {
                if (GetClipboardOwner() == hwnd) self->Render();
                CloseClipboard();
            }
            return 0;
        case WM_DESTROYCLIPBOARD:  // another copy took the clipboard's place
            if (self)
                if (HGLOBAL left = self->TakePromised()) GlobalFree(left);
            return 0;
        case kRetry:
        case WM_TIMER:
            if (self) self->Retry();
            return 0;
        case WM_CLOSE:
            if (self) self->Retry();  // a copy waiting goes in before the end if it can
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void ClipboardOffer::Render() {
    HGLOBAL text = TakePromised();
    if (text && !SetClipboardData(CF_UNICODETEXT, text)) GlobalFree(text);
}

HGLOBAL ClipboardOffer::TakePromised() {
    return InterlockedExchangePointer(&promised_, nullptr);
}

}  // namespace tarnwick::win32

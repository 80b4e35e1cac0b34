#pragma once
// Text put on the clipboard by promise. A copy of a whole listing is over a hundred
// megabytes, and handing that to the system on the window's thread holds the window for a
// third of a second (under Wine the data travels to its server). So the copy only takes a
// snapshot and promises the clipboard text; the system asks for it when a program pastes,
// and a thread of the offer's own hands it over then. The window's thread waits for
// neither. Whatever is still promised when the offer ends is handed over first, so a copy
// outlives the program, as a copy from an edit box does.
#include <windows.h>

namespace tarnwick::win32 {

class ClipboardOffer {
  public:
    ClipboardOffer() = default;
    ClipboardOffer(const ClipboardOffer&) = delete;
    ClipboardOffer& operator=(const ClipboardOffer&) = delete;
    ~ClipboardOffer() { End(); }

    // Hands over what is still promised and lets the thread go; a later Put starts afresh.
    // Called as the view's window goes: the program may end without destructors (a window
    // closed during a walk ends it with ExitProcess), and a copy must outlive it.
    void End();

    // Puts `text` (GlobalAlloc'd CF_UNICODETEXT, ended by a null) on the clipboard in place
    // of what it held, and takes it over. While another program holds the clipboard (one
    // reading the last copy, as a clipboard history does at once), the offer's thread puts
    // it there as soon as it is free, within a few seconds, unless a newer copy comes first.
    // When that thread cannot be had, the text is handed over at once as `window`'s, as an
    // edit box does; false then, with `text` still the caller's, if the clipboard is busy.
    bool Put(HGLOBAL text, HWND window);

  private:
    static DWORD WINAPI ThreadMain(void* self);
    static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
    bool Start();
    void Promise(HGLOBAL text);  // with the clipboard open
    void Retry();                // on the offer's thread: the copy that found it busy
    void Render();               // on the offer's thread: the promise kept
    HGLOBAL TakePromised();

    HANDLE thread_ = nullptr;
    HWND owner_ = nullptr;  // the offer's window, which owns the clipboard while it promises
    bool failed_ = false;   // the thread or its window could not be had: hand over at once
    void* volatile promised_ = nullptr;  // the snapshot, until handed over or let go
    void* volatile waiting_ = nullptr;   // a snapshot that found the clipboard busy
    int retries_ = 0;
};

}  // namespace tarnwick::win32

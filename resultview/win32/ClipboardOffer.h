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
    // of what it held, and takes it over. When the offer's thread cannot be had, the text is
    // handed over at once, as an edit box does. False, with `text` still the caller's, when
    // the clipboard cannot be opened (another program holds it).
    bool Put(HGLOBAL text);

  private:
    static DWORD WINAPI ThreadMain(void* self);
    static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
    bool Start();
    bool HandOver(HGLOBAL text);  // the edit box's way, on the calling thread
    void Render();                // on the offer's thread: the promise kept
    HGLOBAL TakePromised();

    HANDLE thread_ = nullptr;
    HWND owner_ = nullptr;  // the offer's window, which owns the clipboard while it promises
    bool failed_ = false;   // the thread or its window could not be had: hand over at once
    void* volatile promised_ = nullptr;  // the snapshot, until handed over or let go
};

}  // namespace tarnwick::win32

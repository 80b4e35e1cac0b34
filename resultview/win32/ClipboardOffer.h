#pragma once
// Text put on the clipboard by promise. A copy of a whole listing is over a hundred
// megabytes, and handing that to the system on the window's thread holds the window for a
// third of a second (under Wine the data travels to its server). So the copy only takes a
// snapshot and promises the clipboard text; the system asks for it when a program pastes,
// and a thread of the offer's own hands it over then.
//
// That thread also takes the clipboard: emptying it sends its last owner
// WM_DESTROYCLIPBOARD and waits for the answer, and a program that has stopped answering
// would hold the window with it. The window's thread only hands the snapshot over and
// waits for it to be on the clipboard, as an edit box's copy is when it returns; for
// another program that owns the clipboard, 50 ms at most: one that answers does so by
// then, one that does not holds up the copy, not the window. Whatever is still promised
// when the offer ends is handed over first, so a copy outlives the program, as a copy from
// an edit box does.
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
    // closed during a walk ends it with ExitProcess), and a copy must outlive it. Another
    // program holding the clipboard up is waited for 0.4 s at most; the thread then goes on
    // alone and puts the copy in when that program lets go, if this one still runs by then.
    void End();

    // Puts `text` (GlobalAlloc'd CF_UNICODETEXT, ended by a null) on the clipboard in place
    // of what it held, and takes it over; usually it is there on return. While another
    // program holds the clipboard (one reading the last copy, as a clipboard history does
    // at once, or one that hangs), the offer's thread puts it there as soon as it is free,
    // within a few seconds, unless a newer copy comes first. When that thread cannot be
    // had, the text is handed over at once as `window`'s, as an edit box does; false then,
    // with `text` still the caller's, if the clipboard is busy.
    bool Put(HGLOBAL text, HWND window);

  private:
    struct Courier;  // the thread's side, which may outlive the offer
    static DWORD WINAPI ThreadMain(void* courier);
    static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
    bool Start();

    HANDLE thread_ = nullptr;
    Courier* courier_ = nullptr;
    bool failed_ = false;  // the thread or its window could not be had: hand over at once
};

}  // namespace tarnwick::win32

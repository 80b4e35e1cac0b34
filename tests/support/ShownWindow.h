#pragma once
// Modal windows of the thread under test (a popup menu, a message box), met from a thread
// of their own while the thread under test runs their loop.
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace tarnwick::testing {

inline std::wstring ClassOf(HWND h) {
    wchar_t name[64] = L"";
    GetClassNameW(h, name, 64);
    return name;
}

inline std::wstring TextOf(HWND h) {
    wchar_t text[512] = L"";
    SendMessageW(h, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return text;
}

// A visible window of `thread` of the class and (when given) the title; null if none.
inline HWND ShownWindowOf(DWORD thread, const std::wstring& windowClass,
                          const wchar_t* title = nullptr) {
    struct Wanted {
        const std::wstring& windowClass;
        const wchar_t* title;
        HWND found = nullptr;
    } wanted{windowClass, title};
    EnumThreadWindows(
        thread,
        [](HWND h, LPARAM p) {
            auto& w = *reinterpret_cast<Wanted*>(p);
            wchar_t caption[64] = L"";  // read without a message: the thread may not answer
            InternalGetWindowText(h, caption, 64);
            if (IsWindowVisible(h) && ClassOf(h) == w.windowClass &&
                (!w.title || w.title == std::wstring(caption)))
                w.found = h;
            return w.found ? FALSE : TRUE;
        },
        reinterpret_cast<LPARAM>(&wanted));
    return wanted.found;
}

// Waits, on a thread of its own, for such a window of the calling thread, and hands it to
// `act`, which ends it. Joined when it goes; `seen` tells whether one came.
class WhenShown {
  public:
    WhenShown(std::wstring windowClass, const wchar_t* title, std::function<void(HWND)> act)
        : thread_([this, windowClass, title, act, ui = GetCurrentThreadId()] {
              for (int i = 0; i < 3000 && !seen; ++i) {  // a bound, not a deadline
                  if (const HWND h = ShownWindowOf(ui, windowClass, title)) {
                      seen = true;
                      act(h);
                  } else {
                      Sleep(10);
                  }
              }
          }) {}
    ~WhenShown() { thread_.join(); }
    std::atomic<bool> seen = false;

  private:
    std::thread thread_;
};

// The static texts of a window, a message box's message among them.
inline std::vector<std::wstring> StaticTexts(HWND parent) {
    std::vector<std::wstring> texts;
    EnumChildWindows(
        parent,
        [](HWND h, LPARAM p) {
            if (ClassOf(h) == L"Static")
                reinterpret_cast<std::vector<std::wstring>*>(p)->push_back(TextOf(h));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts;
}

}  // namespace tarnwick::testing

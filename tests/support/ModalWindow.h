#pragma once
// Reaching a window that a modal loop of this thread shows (a menu, a message box): a
// thread finds it while the loop runs and acts on it.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <thread>
#include <tuple>

namespace tarnwick::testing {

// A visible window of `thread` of the class and title (read without a message: the thread
// may be busy); null if none.
inline HWND ShownWindowOf(DWORD thread, const wchar_t* windowClass,
                          const wchar_t* title = nullptr) {
    std::tuple<const wchar_t*, const wchar_t*, HWND> wanted{windowClass, title, nullptr};
    EnumThreadWindows(
        thread,
        [](HWND h, LPARAM p) {
            auto& [cls, text, found] = *reinterpret_cast<decltype(wanted)*>(p);
            wchar_t name[64] = L"", caption[64] = L"";
            GetClassNameW(h, name, 64);
            InternalGetWindowText(h, caption, 64);
            found = IsWindowVisible(h) && !wcscmp(name, cls) && (!text || !wcscmp(caption, text))
                        ? h
                        : nullptr;
            return found ? FALSE : TRUE;
        },
        reinterpret_cast<LPARAM>(&wanted));
    return std::get<2>(wanted);
}

// A thread that waits for such a window of this thread's modal loop and hands it to `act`,
// which ends it; `seen` ends the wait too.
class WhenShown {
  public:
    WhenShown(const wchar_t* windowClass, const wchar_t* title, std::function<void(HWND)> act)
        : thread_([=, this, ui = GetCurrentThreadId()] {
              for (int i = 0; i < 3000 && !seen; ++i) {  // a bound, not a deadline
                  const HWND h = ShownWindowOf(ui, windowClass, title);
                  if (h) act(h);
                  seen = seen || h;
                  Sleep(10);
              }
          }) {}
    ~WhenShown() { thread_.join(); }
    std::atomic<bool> seen = false;

  private:
    std::thread thread_;
};

}  // namespace tarnwick::testing

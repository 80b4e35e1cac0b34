#pragma once
// From a window handle to the object that runs the window, one way for each kind of window.
// Our own window classes get the object in CreateWindowEx's lpCreateParams and keep it from
// WM_NCCREATE to WM_NCDESTROY, so even the messages sent during creation reach it; such a
// window is made in its object's constructor body, once the members it uses exist. The
// system's controls are subclassed with their object as the reference data. Either kind
// tells its NotificationTarget when asked (TargetOf).
#include <windows.h>

#include <type_traits>

namespace tarnwick::win32 {

// What a parent window forwards to the control that sent a notification.
class NotificationTarget {
  public:
    virtual ~NotificationTarget() = default;
    virtual void OnCommand(int /*code*/) {}
    virtual void OnScroll(int /*code*/, int /*position*/) {}
    virtual void OnDrawItem(const DRAWITEMSTRUCT& /*item*/) {}  // owner-drawn controls
    virtual void OnDpiChanged() {}  // after the main window took its new scale
    // A message to a subclassed system control before the control has it; true when
    // `result` is the answer and the control must not see it.
    virtual bool OnControlMessage(UINT /*msg*/, WPARAM, LPARAM, LRESULT& /*result*/) {
        return false;
    }
};

// The target running a window, or none.
NotificationTarget* TargetOf(HWND window);

// A system control's messages go to `target` first, until UnsubclassControl.
void SubclassControl(HWND control, NotificationTarget* target);
void UnsubclassControl(HWND control);

// What windows of ours answer to TargetOf's question.
inline constexpr UINT kTargetQuery = WM_APP + 0x2A;

// Runs a window object's message handler, or the default one while the window has no
// object; no C++ exception may cross into the system's code.
template <class T>
LRESULT Dispatch(T* self, LRESULT (T::*handler)(UINT, WPARAM, LPARAM), HWND hwnd, UINT msg,
                 WPARAM wp, LPARAM lp) {
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    try {
        return (self->*handler)(msg, wp, lp);
    } catch (...) {
        return 0;
    }
}

// The object of a window of our own class T, or none before WM_NCCREATE, after
// WM_NCDESTROY and once unlinked.
template <class T>
T* ObjectOf(HWND hwnd) {
    return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// From now on the window's messages get the default handling.
inline void Unlink(HWND hwnd) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
}

// The window procedure of our own class T: T has `HWND hwnd_` and `LRESULT OnMessage(UINT,
// WPARAM, LPARAM)`, and makes this procedure a friend.
template <class T>
LRESULT CALLBACK OwnWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<T*>(reinterpret_cast<const CREATESTRUCTW*>(lp)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if (self) self->hwnd_ = hwnd;
    }
    T* self = ObjectOf<T>(hwnd);
    if constexpr (std::is_base_of_v<NotificationTarget, T>) {
        if (msg == kTargetQuery)
            return reinterpret_cast<LRESULT>(static_cast<NotificationTarget*>(self));
    }
    const LRESULT result = Dispatch(self, &T::OnMessage, hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) Unlink(hwnd);
    return result;
}

}  // namespace tarnwick::win32

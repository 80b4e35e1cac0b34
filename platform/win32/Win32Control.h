#pragma once
// The base of the thin wrappers over the Win32 controls. A wrapper owns nothing but its
// HWND's place: it keeps the place it was given in its container's unit (96-DPI pixels,
// or twips inside the frame), scales it to the window's DPI, and hears the notifications
// its parent routes to it.
#include <windows.h>

#include "platform/Controls.h"
#include "platform/win32/Dpi.h"

namespace tarnwick::win32 {

// What a parent window forwards to the control that sent a notification.
class NotificationTarget {
  public:
    virtual ~NotificationTarget() = default;
    virtual void OnCommand(int /*code*/) {}
    virtual void OnScroll(int /*code*/, int /*position*/) {}
    virtual void OnDrawItem(const DRAWITEMSTRUCT& /*item*/) {}  // owner-drawn controls
    virtual void OnDpiChanged() {}  // after the main window took its new scale
};

// The target attached to a control's window, or none.
NotificationTarget* TargetOf(HWND control);
void AttachTarget(HWND control, NotificationTarget* target);

// A place or size in the container's unit (1 for pixels, 15 for twips) as whole pixels at
// `dpi`.
inline int ToPixels(float v, float unit, UINT dpi = kDesignDpi) {
    const float px = v / unit * static_cast<float>(dpi) / kDesignDpi;
    return static_cast<int>(px + (px >= 0 ? 0.5f : -0.5f));
}

// Creates a child window; `unit` is 1 for pixels, 15 for twips.
HWND CreateChild(HWND parent, const wchar_t* windowClass, TextView text, DWORD style, Rect r,
                 float unit, DWORD exStyle = 0);

template <class Base>
class Win32Control : public Base, public NotificationTarget {
  public:
    Win32Control(HWND hwnd, Rect r, float unit) : hwnd_(hwnd), rect_(r), unit_(unit) {
        AttachTarget(hwnd, this);
    }
    ~Win32Control() override {
        if (IsWindow(hwnd_)) AttachTarget(hwnd_, nullptr);
    }
    Win32Control(const Win32Control&) = delete;
    Win32Control& operator=(const Win32Control&) = delete;

    HWND Handle() const { return hwnd_; }
    Rect GetRect() const override { return rect_; }
    void Move(Rect r) override {
        if (r.width < 0 || r.height < 0) throw MakeError(error::InvalidPropertyValue);
        rect_ = r;
        MoveWindow(hwnd_, Px(r.left), Px(r.top), Px(r.width), Px(r.height), TRUE);
    }
    // The font and the place at the new scale; the place stays the same in the unit.
    void OnDpiChanged() override {
        SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(InterfaceFont(DpiOf(hwnd_))),
                     TRUE);
        Move(rect_);
    }

  protected:
    int Px(float v) const { return ToPixels(v, unit_, DpiOf(hwnd_)); }
    HWND hwnd_;

  private:
    Rect rect_;
    float unit_;
};

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

Text WindowText(HWND hwnd);
// The height of a line of text in the window's own font.
int FontLineHeight(HWND hwnd);
HFONT InterfaceFont();  // at the system's scale

}  // namespace tarnwick::win32

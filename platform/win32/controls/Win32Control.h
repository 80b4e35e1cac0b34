#pragma once
// The base of the thin wrappers over the Win32 controls. A wrapper owns nothing but its
// HWND's place: it keeps the place it was given in its container's unit (96-DPI pixels,
// or twips inside the frame), scales it to the window's DPI, and hears the notifications
// its parent routes to it.
#include <windows.h>

#include "platform/Controls.h"
#include "platform/win32/controls/Dpi.h"
#include "platform/win32/controls/WindowLink.h"

namespace tarnwick::win32 {

// A place or size in the container's unit (1 for pixels, 15 for twips) as whole pixels at
// `dpi`.
inline int ToPixels(float v, float unit, UINT dpi = kDesignDpi) {
    const float px = v / unit * static_cast<float>(dpi) / kDesignDpi;
    return static_cast<int>(px + (px >= 0 ? 0.5f : -0.5f));
}

// Creates a child window; `unit` is 1 for pixels, 15 for twips. `object` runs a window
// of our own class from its first message on.
HWND CreateChild(HWND parent, const wchar_t* windowClass, TextView text, DWORD style, Rect r,
                 float unit, DWORD exStyle = 0, void* object = nullptr);

template <class Base>
class Win32Control : public Base, public NotificationTarget {
  public:
    // Over a system control, which it subclasses.
    Win32Control(HWND control, Rect r, float unit) : hwnd_(control), rect_(r), unit_(unit) {
        SubclassControl(hwnd_, this);
    }
    // For a window of our own class, which the derived constructor makes with `this` as its
    // object (OwnWindowProc sets hwnd_).
    Win32Control(Rect r, float unit) : rect_(r), unit_(unit), ownClass_(true) {}
    ~Win32Control() override {
        if (!IsWindow(hwnd_)) return;
        if (ownClass_) {
            Unlink(hwnd_);
        } else {
            UnsubclassControl(hwnd_);
        }
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
    HWND hwnd_ = nullptr;

  private:
    template <class T>
    friend LRESULT CALLBACK OwnWindowProc(HWND, UINT, WPARAM, LPARAM);
    Rect rect_;
    float unit_;
    bool ownClass_ = false;
};

Text WindowText(HWND hwnd);
// The height of a line of text in the window's own font.
int FontLineHeight(HWND hwnd);
HFONT InterfaceFont();  // at the system's scale

}  // namespace tarnwick::win32

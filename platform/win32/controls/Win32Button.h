#pragma once
// A push button: a click notifies.
#include "platform/win32/controls/Win32Control.h"

namespace tarnwick::win32 {

class Win32Button : public Win32Control<Button> {
  public:
    Win32Button(HWND parent, TextView caption, Rect r, float unit)
        : Win32Control(CreateChild(parent, L"BUTTON", caption, BS_PUSHBUTTON | WS_TABSTOP, r, unit),
                       r, unit) {}
    Text GetCaption() const override { return WindowText(hwnd_); }
    void SetCaption(TextView caption) override;
    void OnCommand(int code) override {
        if (code == BN_CLICKED && onClick) onClick();
    }
};

}  // namespace tarnwick::win32

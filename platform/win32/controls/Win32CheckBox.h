#pragma once
#include "platform/win32/controls/Win32Control.h"

namespace tarnwick::win32 {

// A click toggles between clear and ticked; 2 (grayed) can only be set by the program.
class Win32CheckBox : public Win32Control<CheckBox> {
  public:
    Win32CheckBox(HWND parent, TextView caption, Rect r, float unit)
        : Win32Control(CreateChild(parent, L"BUTTON", caption, BS_3STATE | WS_TABSTOP, r, unit), r,
                       unit) {}
    int16_t GetValue() const override {
        return static_cast<int16_t>(SendMessageW(hwnd_, BM_GETCHECK, 0, 0));
    }
    void SetValue(int16_t value) override { SendMessageW(hwnd_, BM_SETCHECK, value, 0); }
    void OnCommand(int code) override {
        if (code == BN_CLICKED) SetValue(GetValue() == BST_CHECKED ? 0 : 1);
    }
};

}  // namespace tarnwick::win32

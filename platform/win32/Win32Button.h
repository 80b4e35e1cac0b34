#pragma once
// Push button, check box, label and frame: the controls with little behaviour of their own.
#include "platform/win32/Win32Control.h"

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

// A label is never lower than its text: the design's heights were made for a font whose
// lines are lower than the interface font's at any scale.
class Win32Label : public Win32Control<Label> {
  public:
    Win32Label(HWND parent, TextView caption, Rect r, float unit)
        : Win32Control(CreateChild(parent, L"STATIC", caption, SS_LEFT | SS_NOPREFIX, r, unit), r,
                       unit) {
        FitText();
    }
    void Move(Rect r) override {
        Win32Control::Move(r);
        FitText();
    }

  private:
    void FitText();
};

// The options frame: a container whose children are placed in twips from its corner.
// It passes its children's notifications on to the main window.
class Win32Frame : public Win32Control<Frame> {
  public:
    Win32Frame(HWND parent, TextView caption, Rect r);
    void Move(Rect r) override;
    void OnDpiChanged() override;
    void PutBoxBehindChildren() {
        SetWindowPos(box_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }

  private:
    HWND box_;  // the drawn group box, below the children
};

}  // namespace tarnwick::win32

#pragma once
#include "platform/win32/controls/Win32Control.h"

namespace tarnwick::win32 {

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

}  // namespace tarnwick::win32

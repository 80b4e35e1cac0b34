#pragma once
#include "platform/win32/controls/Win32Control.h"

namespace tarnwick::win32 {

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
    template <class T>
    friend LRESULT CALLBACK OwnWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    HWND box_ = nullptr;  // the drawn group box, below the children
};

}  // namespace tarnwick::win32

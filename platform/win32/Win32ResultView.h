#pragma once
// The result box: a multi-line edit box with both scroll bars, no wrapping, no text limit.
#include "platform/win32/Win32Control.h"

namespace tarnwick::win32 {

class Win32ResultView : public Win32Control<ResultView> {
  public:
    Win32ResultView(HWND parent, Rect r, float unit);
    Text GetText() const override { return WindowText(hwnd_); }
    void SetText(TextView text) override;
    bool SetSelText(TextView text) override;
};

}  // namespace tarnwick::win32

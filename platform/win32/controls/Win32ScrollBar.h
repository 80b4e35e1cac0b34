#pragma once
// The depth box's scroll bar: arrows, trough clicks and the thumb move its value within
// 0 to max; a write notifies only when the value changes.
#include "platform/win32/controls/Win32Control.h"

namespace tarnwick::win32 {

class Win32ScrollBar : public Win32Control<ScrollBar> {
  public:
    Win32ScrollBar(HWND parent, Rect r, float unit, int16_t max, int16_t value, int16_t small,
                   int16_t large);
    int16_t GetValue() const override;
    void SetValue(int16_t value) override;
    void OnScroll(int code, int position) override;

  private:
    int16_t max_, small_, large_;
    bool dragging_ = false;
    int16_t dragStart_ = 0;
};

}  // namespace tarnwick::win32

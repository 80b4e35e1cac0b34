#pragma once
// A single-line edit box. Every write notifies once, also of an unchanged text; each
// change the user makes notifies; key presses reach onKeyDown before the box handles them.
// A long text comes in masked, which the system lays out in linear time.
#include "platform/win32/controls/Win32Control.h"

namespace tarnwick::win32 {

class Win32TextBox : public Win32Control<TextBox> {
  public:
    Win32TextBox(HWND parent, TextView text, Rect r, float unit);
    Text GetText() const override { return WindowText(hwnd_); }
    void SetText(TextView text) override;
    void OnCommand(int code) override;
    // The shell's completion of folder paths as they are typed.
    void CompleteFolders();

  private:
    bool OnControlMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    bool writing_ = false;
};

}  // namespace tarnwick::win32

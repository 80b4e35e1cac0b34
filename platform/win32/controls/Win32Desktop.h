#pragma once
#include <windows.h>

#include "platform/Desktop.h"

namespace tarnwick::win32 {

// The error box (a message box owned by the main window) and the program launcher.
class Win32Desktop : public Desktop {
  public:
    explicit Win32Desktop(HWND owner) : owner_(owner) {}
    void ShowErrorBox(const RunTimeError& e) override;
    void Launch(TextView commandLine, int showState) override;
    std::optional<Text> ShowSaveDialog(const SaveRequest& request) override;
    uint32_t SaveDialogError() override;
    void Beep() override;

  private:
    HWND owner_;
    uint32_t ownError_ = 0;  // the library missing, or a path the dialog cut off
};

}  // namespace tarnwick::win32

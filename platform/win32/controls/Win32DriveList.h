#pragma once
// The drive list: a drop-down of the system's drives as Explorer shows them, each with its
// icon, its letter and colon, and its volume label (or, for a network drive, its share).
#include <vector>

#include "platform/win32/controls/ShellIcons.h"
#include "platform/win32/controls/Win32Control.h"

namespace tarnwick::win32 {

class Win32DriveList : public Win32Control<DriveList> {
  public:
    Win32DriveList(HWND parent, Rect r);
    Text GetDrive() const override;
    void SetDrive(TextView drive) override;
    void OnCommand(int code) override;
    void OnDrawItem(const DRAWITEMSTRUCT& item) override;
    void OnDpiChanged() override;

  private:
    struct Drive {
        char16_t letter;  // lower case
        Text text;        // "c: [label]"
        SHSTOCKICONID icon;
    };
    void FitHeight(int height);
    void Fill(char16_t selected);
    int IndexOf(char16_t letter) const;
    char16_t SelectedLetter() const;
    std::vector<Drive> drives_;
};

}  // namespace tarnwick::win32

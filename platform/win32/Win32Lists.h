#pragma once
// The drive list (a drop-down of the system's drives) and the folder list (the opened
// folder's path from the root down, then its sub-folders).
#include <vector>

#include "platform/win32/Win32Control.h"

namespace tarnwick::win32 {

class Win32DriveList : public Win32Control<DriveList> {
  public:
    Win32DriveList(HWND parent, Rect r);
    Text GetDrive() const override;
    void SetDrive(TextView drive) override;
    void OnCommand(int code) override;

  private:
    int IndexOf(char16_t letter) const;
    std::vector<char16_t> letters_;
};

class Win32DirList : public Win32Control<DirList> {
  public:
    Win32DirList(HWND parent, Rect r);
    Text GetPath() const override { return path_; }
    void SetPath(TextView path) override;
    void OnCommand(int code) override;
    void OpenSelected();

  private:
    void Fill();
    static LRESULT CALLBACK KeyProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    Text path_;
    std::vector<Text> itemPaths_;
};

}  // namespace tarnwick::win32

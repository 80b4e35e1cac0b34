#pragma once
// The folder list: the opened folder's path from the root down, one item per folder, then
// its sub-folders; the user opens one by double-click or Enter.
#include <vector>

#include "platform/win32/controls/Win32Control.h"

namespace tarnwick::win32 {

class Win32DirList : public Win32Control<DirList> {
  public:
    Win32DirList(HWND parent, Rect r);
    Text GetPath() const override { return path_; }
    void SetPath(TextView path) override;
    void OnCommand(int code) override;
    void OnDrawItem(const DRAWITEMSTRUCT& item) override;
    void OnDpiChanged() override;
    void OpenSelected();

  private:
    void Fill();
    void FitItemHeight();
    bool OnControlMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    struct Item {
        Text path;
        int depth;
        bool onPath;  // the opened folder or one above it
    };
    Text path_;
    std::vector<Item> items_;
};

}  // namespace tarnwick::win32

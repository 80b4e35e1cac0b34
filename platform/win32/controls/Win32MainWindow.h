#pragma once
// The main window: a sizable top-level window whose inner area is measured in 96-DPI
// pixels at any display scale. It routes its controls' notifications to their wrappers,
// reports size changes, and moves the focus with Tab in the order it is given.
#include <windows.h>

#include <functional>
#include <vector>

#include "platform/Controls.h"
#include "platform/MainWindow.h"

namespace tarnwick::win32 {

class Win32MainWindow : public MainWindow {
  public:
    Win32MainWindow(TextView title, int innerWidth, int innerHeight);
    ~Win32MainWindow() override { Destroy(); }
    HWND Handle() const { return hwnd_; }
    // Destroys the window (and its controls) without ending the program; the owner calls
    // it before the controls' wrappers go, so no late notification finds them gone.
    void Destroy();

    Text GetCaption() const override;
    void SetCaption(TextView caption) override;
    float ScaleWidth() const override;
    float ScaleHeight() const override;

    void SetTabOrder(std::vector<HWND> order) { tabOrder_ = std::move(order); }
    Notify onResize;

    // Files and folders dragged from Explorer and dropped on the window: the first one's
    // full path (empty for a drop of none).
    void AcceptDrops(std::function<void(TextView)> onDrop);

    // Keyboard navigation for a message of this thread: Tab and Shift+Tab in the tab
    // order, access keys and the rest as in a dialog. True when the message was used.
    static bool TranslateNavigation(MSG& msg);

    // The program's main windows still open (a closed one counts no more once destroyed).
    static int OpenCount() { return openCount_; }

  private:
    std::function<void(TextView)> onDrop_;
    template <class T>
    friend LRESULT CALLBACK OwnWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    bool OnControlNotification(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    void MoveFocus(bool backwards);
    // The window's size and its controls follow its DPI (Win32MainWindowDpi.cpp).
    void FitToDpi(int innerWidth, int innerHeight);
    LRESULT OnDpiChanged(UINT dpi, const RECT& suggested);

    HWND hwnd_ = nullptr;
    HWND lastFocus_ = nullptr;
    bool destroyedByOwner_ = false;
    std::vector<HWND> tabOrder_;
    static inline int openCount_ = 0;
};

}  // namespace tarnwick::win32

#pragma once
// The main window as the handler tests drive it: over in-memory controls natively, over
// the real Win32 window under Wine. The tests act as the user through this class only.
#include <memory>
#include <vector>

#include "platform/memory/MemoryControls.h"
#include "window/frmMain.h"

namespace tarnwick::testing {

enum class ScrollAction { LineUp, LineDown, PageUp, PageDown };

class TestWindow {
  public:
    virtual ~TestWindow() = default;

    virtual frmMain& Form() = 0;
    // Error boxes and launches, recorded rather than shown.
    virtual MemoryDesktop& Desktop() = 0;

    virtual void Click(Button& button) = 0;
    virtual void Paste(TextBox& box, TextView text) = 0;  // the whole text at once
    virtual void Type(TextBox& box, TextView text) = 0;   // one character at a time, at the end
    virtual void PressKey(TextBox& box, int16_t key, bool shift = false) = 0;
    virtual void Scroll(ScrollBar& bar, ScrollAction action) = 0;
    virtual void Drag(ScrollBar& bar, const std::vector<int16_t>& positions) = 0;
    virtual Rect Inner() = 0;  // the window's inner area, in pixels
    // Where the control is shown, in its container's unit: read from the real window
    // under Wine, so a control the wrapper placed wrongly is seen as it is.
    virtual Rect Shown(const Control& c) = 0;
    // The user resizes the window to this inner size, minimises it, restores it.
    virtual void Resize(int innerWidth, int innerHeight) = 0;
    virtual void Minimize() = 0;
    virtual void Restore() = 0;
    // The user selects in the listing, from `anchor` to `caret` (characters), then opens its
    // context menu from the keyboard and picks the item of access key `key`: false, with
    // nothing done, where it is greyed. Copied() is what a program pasting then gets (the
    // real clipboard under Wine); the paths the shell was asked to show go to shownInFolder.
    virtual void SelectInResult(size_t anchor, size_t caret) = 0;
    virtual bool ChooseInResultMenu(char key) = 0;
    virtual Text Copied() = 0;
    std::vector<Text> shownInFolder;
};

// Built and started (Form_Load run) as the program starts it.
std::unique_ptr<TestWindow> StartTestWindow(FileSystem& files, EventPump& events);

}  // namespace tarnwick::testing

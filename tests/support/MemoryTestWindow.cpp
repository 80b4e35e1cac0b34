#include "tests/support/TestWindow.h"
#include "window/memory/MemoryForm.h"

namespace tarnwick::testing {
namespace {

class MemoryTestWindow : public TestWindow {
  public:
    MemoryTestWindow(FileSystem& files, EventPump& events) : window_(files, events) {
        // Start-up as in the program: the current folder is open in the folder list.
        window_.drDir.exists = [](TextView) { return true; };
        window_.drDir.Open(u"C:\\Work");
        window_.form.Form_Load();
    }
    frmMain& Form() override { return window_.form; }
    MemoryDesktop& Desktop() override { return window_.desktop; }

    void Click(Button& b) override { dynamic_cast<MemoryButton&>(b).Click(); }
    void Paste(TextBox& box, TextView text) override { box.SetText(text); }
    void Type(TextBox& box, TextView text) override {
        dynamic_cast<MemoryTextBox&>(box).Type(text);
    }
    void PressKey(TextBox& box, int16_t key, bool shift) override {
        dynamic_cast<MemoryTextBox&>(box).PressKey(key, shift ? 1 : 0);
    }
    void Scroll(ScrollBar& bar, ScrollAction action) override {
        auto& b = dynamic_cast<MemoryScrollBar&>(bar);
        switch (action) {
            case ScrollAction::LineUp:
                return b.LineUp();
            case ScrollAction::LineDown:
                return b.LineDown();
            case ScrollAction::PageUp:
                return b.PageUp();
            case ScrollAction::PageDown:
                return b.PageDown();
        }
    }
    void Drag(ScrollBar& bar, const std::vector<int16_t>& positions) override {
        dynamic_cast<MemoryScrollBar&>(bar).Drag(positions);
    }
    Rect Inner() override { return {0, 0, window_.Me.ScaleWidth(), window_.Me.ScaleHeight()}; }
    Rect Shown(const Control& c) override { return c.GetRect(); }
    // The window's size notification runs Form_Resize, as the real one does.
    void Resize(int innerWidth, int innerHeight) override {
        window_.Me.width = static_cast<float>(innerWidth);
        window_.Me.height = static_cast<float>(innerHeight);
        window_.form.Form_Resize();
    }
    void Minimize() override {
        restored_ = Inner();
        Resize(0, 0);  // a minimised window has no inner area
    }
    void Restore() override {
        Resize(static_cast<int>(restored_.width), static_cast<int>(restored_.height));
    }

    // The view's two entry items, as the window's view does them with the shell's stand-in.
    void SelectInResult(size_t anchor, size_t caret) override {
        window_.txtResult.Store().Select(anchor, caret);
    }
    bool ChooseInResultMenu(char key) override {
        const MemoryResultBox& box = window_.txtResult;
        const auto lines = LineEntries::Selected(box.Store());
        const auto first = box.Entries().FirstPathOf(box.Store(), lines);
        if (!first) return false;
        if (key == 'l') copied_ = box.Entries().PathsOf(box.Store(), lines);
        if (key == 'o') shownInFolder.push_back(*first);
        return true;
    }
    Text Copied() override { return copied_; }

  private:
    MemoryForm window_;
    Text copied_;
    Rect restored_;
};

}  // namespace

std::unique_ptr<TestWindow> StartTestWindow(FileSystem& files, EventPump& events) {
    return std::make_unique<MemoryTestWindow>(files, events);
}

}  // namespace tarnwick::testing

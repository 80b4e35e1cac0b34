// On Windows the listing runs in the real main window, created hidden and never shown,
// so the command needs no second set of controls in the program.
#include <algorithm>

#include "cli/ListCommand.h"
#include "window/win32/Win32Form.h"

namespace tarnwick {
namespace {

// Keeps the error boxes instead of showing them; the command has no dialogs.
class QuietDesktop : public Desktop {
  public:
    void ShowErrorBox(const RunTimeError& e) override { errorBoxes.push_back(e); }
    void Launch(TextView, int) override {}
    std::optional<Text> ShowSaveDialog(const SaveRequest&) override { return std::nullopt; }
    uint32_t SaveDialogError() override { return 0; }
    void Beep() override {}
    std::vector<RunTimeError> errorBoxes;
};

// Each window the form is made of, the main window first. Without a display, or out of
// window handles, they are not made, and their wrappers answer nothing.
bool AllMade(const Win32Form& w) {
    const HWND made[] = {
        w.Me.Handle(),       w.Command1.Handle(),  w.txtPath.Handle(), w.frmSettings.Handle(),
        w.drDir.Handle(),    w.drDrive.Handle(),   w.lblPath.Handle(), w.cmdSave.Handle(),
        w.cmdDoIt.Handle(),  w.txtResult.Handle(), w.VSLevel.Handle(), w.txtLevel.Handle(),
        w.ChNoPath.Handle(), w.ChHidden.Handle(),  w.ChFiles.Handle(), w.lblLevels.Handle()};
    return std::all_of(std::begin(made), std::end(made), [](HWND h) { return h != nullptr; });
}

class Win32ListingWindow : public ListingWindow {
  public:
    Win32ListingWindow(FileSystem& files, EventPump& events) : window_(files, events, &desktop_) {
        if (!AllMade(window_)) throw RunTimeError{error::OutOfMemory, u"无法创建窗口及其控件"};
    }
    frmMain& Form() override { return window_.form; }
    const std::vector<RunTimeError>& ErrorBoxes() const override { return desktop_.errorBoxes; }

  private:
    QuietDesktop desktop_;
    Win32Form window_;
};

}  // namespace

std::unique_ptr<ListingWindow> MakeListingWindow(FileSystem& files, EventPump& events) {
    return std::make_unique<Win32ListingWindow>(files, events);
}

}  // namespace tarnwick

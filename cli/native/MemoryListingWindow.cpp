// Natively the listing runs in the in-memory window, with the result box made for /list: it
// holds the lines as the save writes them.
#include "cli/ListCommand.h"
#include "platform/native/ListingResultBox.h"
#include "window/memory/MemoryForm.h"

namespace tarnwick {
namespace {

class MemoryListingWindow : public ListingWindow {
  public:
    MemoryListingWindow(FileSystem& files, EventPump& events)
        : w_(files, events),
          form_(
              frmMainControls{w_.Me, w_.Command1, w_.txtPath, w_.frmSettings, w_.drDir, w_.drDrive,
                              w_.lblPath, w_.cmdSave, w_.cmdDoIt, txtResult_, w_.VSLevel,
                              w_.txtLevel, w_.ChNoPath, w_.ChHidden, w_.ChFiles, w_.lblLevels},
              frmMainServices{files, events, w_.desktop}) {}
    frmMain& Form() override { return form_; }
    const std::vector<RunTimeError>& ErrorBoxes() const override { return w_.desktop.errorBoxes; }

  private:
    MemoryForm w_;  // the controls in their design-time state
    native::ListingResultBox txtResult_;
    frmMain form_;  // over them, with the box above in place of the window's
};

}  // namespace

std::unique_ptr<ListingWindow> MakeListingWindow(FileSystem& files, EventPump& events) {
    return std::make_unique<MemoryListingWindow>(files, events);
}

}  // namespace tarnwick

// Natively the listing runs in the in-memory window.
#include "cli/ListCommand.h"
#include "window/memory/MemoryForm.h"

namespace tarnwick {
namespace {

class MemoryListingWindow : public ListingWindow {
  public:
    MemoryListingWindow(FileSystem& files, EventPump& events) : window_(files, events) {}
    frmMain& Form() override { return window_.form; }
    const std::vector<RunTimeError>& ErrorBoxes() const override {
        return window_.desktop.errorBoxes;
    }

  private:
    MemoryForm window_;
};

}  // namespace

std::unique_ptr<ListingWindow> MakeListingWindow(FileSystem& files, EventPump& events) {
    return std::make_unique<MemoryListingWindow>(files, events);
}

}  // namespace tarnwick

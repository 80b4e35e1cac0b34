// On Windows /list holds its lines in the text store the window's result box keeps.
#include "cli/ListCommand.h"
#include "resultview/ResultView.h"

namespace tarnwick {

std::unique_ptr<ResultBox> MakeListingBox() {
    return std::make_unique<MemoryResultBox>();
}

}  // namespace tarnwick

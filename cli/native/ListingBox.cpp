// Natively /list holds its lines as the bytes the save writes, converted once as each
// line comes.
#include "cli/ListCommand.h"
#include "cli/native/ListingResultBox.h"

namespace tarnwick {

std::unique_ptr<ResultBox> MakeListingBox() {
    return std::make_unique<native::ListingResultBox>();
}

}  // namespace tarnwick

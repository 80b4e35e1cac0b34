// There is no Explorer here to add a command to.
#include "cli/Registration.h"

namespace tarnwick {

ExplorerChange AddExplorerCommand() {
    return {ExplorerChange::NotHere, {}};
}

ExplorerChange RemoveExplorerCommand() {
    return {ExplorerChange::NotHere, {}};
}

}  // namespace tarnwick

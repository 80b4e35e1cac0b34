#include "window/frmMain.h"

namespace tarnwick {

void frmMain::ValidateLevels() {
    if (Levels > 32767) Levels = 32767;
    if (Levels < 1) Levels = 1;
}

}  // namespace tarnwick

// Start-up and the link button.
#include "window/frmMain.h"

namespace tarnwick {
namespace {

constexpr int kShowMinimized = 2;  // shown minimised, with the focus

}  // namespace

void frmMain::Form_Load() {
    txtLevel_Change();
    drDir_Change();
    Form_Resize();
}

void frmMain::Command1_Click() {
    desktop.Launch(u"explorer https://tarnwick.example.org/", kShowMinimized);
}

}  // namespace tarnwick

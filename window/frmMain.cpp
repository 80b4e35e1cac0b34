#include "window/frmMain.h"

namespace tarnwick {

frmMain::frmMain(const frmMainControls& c, const frmMainServices& s)
    : frmMainControls(c), files(s.files), events(s.events), desktop(s.desktop) {
    cmdDoIt.onClick = Untrapped(&frmMain::cmdDoIt_Click);
    Command1.onClick = Untrapped(&frmMain::Command1_Click);
    cmdSave.onClick = Untrapped(&frmMain::cmdSave_Click);
    txtLevel.onChange = Untrapped(&frmMain::txtLevel_Change);
    txtLevel.onKeyDown = [this](int16_t& KeyCode, int16_t Shift) {
        try {
            txtLevel_KeyDown(KeyCode, Shift);
        } catch (const RunTimeError& e) {
            desktop.ShowErrorBox(e);
        }
    };
    VSLevel.onChange = Untrapped(&frmMain::VSLevel_Change);
    VSLevel.onScroll = Untrapped(&frmMain::VSLevel_Scroll);
    drDrive.onChange = Untrapped(&frmMain::drDrive_Change);  // traps its own; guards the rest
    drDir.onChange = Untrapped(&frmMain::drDir_Change);
    txtPath.onChange = Untrapped(&frmMain::txtPath_Change);  // its error path calls drDir_Change
}

// A run-time error that reaches a handler without a trap of its own is shown in the
// error box, and the program goes on.
Notify frmMain::Untrapped(void (frmMain::*handler)()) {
    return [this, handler] {
        try {
            (this->*handler)();
        } catch (const RunTimeError& e) {
            desktop.ShowErrorBox(e);
        }
    };
}

}  // namespace tarnwick

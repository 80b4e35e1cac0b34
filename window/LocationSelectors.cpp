// The drive list, the folder list and the path box follow each other.
#include "window/frmMain.h"

namespace tarnwick {

void frmMain::drDrive_Change() {
    try {
        if (SkipChange) {
            SkipChange = False;
            return;
        }
        drDir.SetPath(drDrive.GetDrive());
    } catch (const RunTimeError& e) {
        desktop.ShowErrorBox(e);
    }
}

void frmMain::drDir_Change() {
    if (SkipChange) {
        SkipChange = False;
        return;
    }
    SkipChange = True;
    txtPath.SetText(drDir.GetPath());
}

void frmMain::txtPath_Change() {
    try {
        if (SkipChange) {
            SkipChange = False;
            return;
        }
        SkipChange = True;
        drDrive.SetDrive(txtPath.GetText());
        drDir.SetPath(txtPath.GetText());
    } catch (const RunTimeError& e) {
        desktop.ShowErrorBox(e);
        drDir_Change();  // an error here is not trapped: it reaches the notification's guard
    }
}

}  // namespace tarnwick

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

// Chosen as a paste into the path box would choose it, except that a text naming no
// folder leaves all three as they were: nothing was typed for the user to correct.
void frmMain::ChooseFolder(TextView path) {
    const Text drive = drDrive.GetDrive();
    try {
        SkipChange = True;
        txtPath.SetText(path);  // its change handler's steps follow here, with this trap
        SkipChange = True;
        drDrive.SetDrive(txtPath.GetText());
        drDir.SetPath(txtPath.GetText());
    } catch (const RunTimeError& e) {
        desktop.ShowErrorBox(e);
        SkipChange = False;
        RestoreDrive(drive);
        drDir_Change();
    }
}

// Back to the drive shown before; with none shown (the program started in a network
// folder), or none to go back to, the list stays where it is.
void frmMain::RestoreDrive(TextView drive) {
    if (drive.empty() || drDrive.GetDrive() == drive) return;
    try {
        SkipChange = True;
        drDrive.SetDrive(drive);
    } catch (const RunTimeError&) {
        SkipChange = False;
    }
}

// An item dragged onto the window (the first, of several): a folder, or the folder a file
// is in. Explorer gives full paths; another program may give a relative one.
void frmMain::Form_DropFiles(TextView item) {
    if (item.empty()) return;
    Text path = files.FullPath(item);
    const auto attributes = files.GetAttributes(path);
    const bool file = attributes && !(*attributes & attr::Folder);
    const size_t cut = path.find_last_of(kSeparator);
    if (file && cut != Text::npos) {
        const bool root = cut == 0 || path[cut - 1] == u':';
        path.erase(root ? cut + 1 : cut);
    }
    ChooseFolder(path);
}

}  // namespace tarnwick

#pragma once
// frmMain over the real Win32 controls, created in the design-time state and in the
// stacking order of the design: the window's own controls, then the frame's.
#include "platform/win32/controls/Win32Button.h"
#include "platform/win32/controls/Win32CheckBox.h"
#include "platform/win32/controls/Win32Desktop.h"
#include "platform/win32/controls/Win32DirList.h"
#include "platform/win32/controls/Win32DriveList.h"
#include "platform/win32/controls/Win32Frame.h"
#include "platform/win32/controls/Win32Label.h"
#include "platform/win32/controls/Win32MainWindow.h"
#include "platform/win32/controls/Win32ScrollBar.h"
#include "platform/win32/controls/Win32TextBox.h"
#include "resultview/ResultView.h"
#include "window/Design.h"
#include "window/frmMain.h"

namespace tarnwick {

struct Win32Form {
    // `desktop` stands in for the system's error box and launcher when given (tests).
    Win32Form(FileSystem& files, EventPump& events, Desktop* desktop = nullptr);
    ~Win32Form() { Me.Destroy(); }

    win32::Win32MainWindow Me;
    win32::Win32Button Command1;
    win32::Win32TextBox txtPath;
    win32::Win32Frame frmSettings;
    win32::Win32DirList drDir;
    win32::Win32DriveList drDrive;
    win32::Win32Label lblPath;
    win32::Win32Button cmdSave;
    win32::Win32Button cmdDoIt;
    win32::Win32ResultBox txtResult;
    win32::Win32ScrollBar VSLevel;
    win32::Win32TextBox txtLevel;
    win32::Win32CheckBox ChNoPath;
    win32::Win32CheckBox ChHidden;
    win32::Win32CheckBox ChFiles;
    win32::Win32Label lblLevels;
    win32::Win32Desktop systemDesktop;
    Desktop& desktop;
    frmMain form;

    // Runs start-up and shows the window with the focus on the drive list; then chooses
    // the folder the command line names, if any, a relative one in the current folder.
    void Show(int showCommand, TextView folder = {});
};

}  // namespace tarnwick

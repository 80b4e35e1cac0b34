#pragma once
// The main window: it owns the listing settings, its fifteen controls and every operation
// of the program. The controls come from the platform (Win32, or in memory natively).
#include <functional>
#include <vector>

#include "export/SaveListing.h"
#include "listing/FolderWalk.h"
#include "listing/ListingFields.h"
#include "platform/Ansi.h"
#include "platform/Controls.h"
#include "platform/Desktop.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "platform/MainWindow.h"

namespace tarnwick {

// The controls in creation order, the window's own first, then the frame's.
struct frmMainControls {
    MainWindow& Me;
    Button& Command1;
    TextBox& txtPath;
    Frame& frmSettings;
    DirList& drDir;
    DriveList& drDrive;
    Label& lblPath;
    Button& cmdSave;
    Button& cmdDoIt;
    ResultBox& txtResult;
    ScrollBar& VSLevel;
    TextBox& txtLevel;
    CheckBox& ChNoPath;
    CheckBox& ChHidden;
    CheckBox& ChFiles;
    Label& lblLevels;
};

struct frmMainServices {
    FileSystem& files;
    EventPump& events;
    Desktop& desktop;
};

// Every operation of the program is one of its members, each defined in the file of its
// subject in this folder; the walk itself is the listing engine's (listing/FolderWalk.h),
// run with the window as its host.
class frmMain : public ListingFields, public frmMainControls {
  public:
    // Connects the controls' notifications to the handlers.
    frmMain(const frmMainControls& controls, const frmMainServices& services);

    // Listing engine
    void ValidateLevels();
    void PushDir(TextView DirStr);
    bool TestPath(TextView PathName);
    void ListFile(Text Path, int32_t Layer);

    // Event handlers
    void Form_Load();
    void Form_Resize();
    void cmdDoIt_Click();
    void Command1_Click();
    void cmdSave_Click();
    void txtLevel_Change();
    void txtLevel_KeyDown(int16_t& KeyCode, int16_t Shift);
    void VSLevel_Change();
    void VSLevel_Scroll();
    void drDrive_Change();
    void drDir_Change();
    void txtPath_Change();

    // A folder named from outside the window: the command line, a drop.
    void ChooseFolder(TextView path);
    void Form_DropFiles(TextView item);  // the first item dropped

    // The listing as the save writes it, in the first encoding that holds it exactly.
    using Encoding = ListingEncoding;
    Encoding WriteListing(FileWriter& file) const;

    FileSystem& files;
    EventPump& events;
    Desktop& desktop;
    std::function<int64_t()> clock = SteadyMilliseconds;  // for the walk's timed pumps
    ReadAheadPolicy readAhead;               // how many workers read the folders ahead of the walk
    uint32_t ansiCodePage = AnsiCodePage();  // the saved listing's
    // A save waiting for a file: each wait between two looks at the window's messages.
    std::function<void(int64_t ms)> pause = HeldFileWaits{}.wait;

  private:
    class WalkHostOfForm;
    Notify Untrapped(void (frmMain::*handler)());
    void EndAfterError(const RunTimeError& e, bool started);
    void RestoreDrive(TextView drive);
    Encoding SaveTo(TextView path);
    HeldFileWaits SaveWaits(bool& closed);

    Text line_;  // PushDir's line, kept to save an allocation per line
    // While a save writes its file, and waits for one that another program holds.
    bool saving_ = false;
};

}  // namespace tarnwick

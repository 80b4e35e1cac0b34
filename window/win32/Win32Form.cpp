#include "window/win32/Win32Form.h"

namespace tarnwick {
namespace {

constexpr float kPixels = 1, kTwips = design::kTwipsPerPixel;

}  // namespace

Win32Form::Win32Form(FileSystem& files, EventPump& events, Desktop* desktopOverride)
    : Me(design::kTitle, static_cast<int>(design::kInnerWidth),
         static_cast<int>(design::kInnerHeight)),
      Command1(Me.Handle(), design::Command1Caption, design::Command1, kPixels),
      txtPath(Me.Handle(), u"", design::txtPath, kPixels),
      frmSettings(Me.Handle(), design::frmSettingsCaption, design::frmSettings),
      drDir(Me.Handle(), design::drDir),
      drDrive(Me.Handle(), design::drDrive),
      lblPath(Me.Handle(), design::lblPathCaption, design::lblPath, kPixels),
      cmdSave(frmSettings.Handle(), design::cmdSaveCaption, design::cmdSave, kTwips),
      cmdDoIt(frmSettings.Handle(), design::cmdDoItCaption, design::cmdDoIt, kTwips),
      txtResult(frmSettings.Handle(), design::txtResult, kTwips),
      VSLevel(frmSettings.Handle(), design::VSLevel, kTwips, design::VSLevelMax,
              design::VSLevelValue, design::VSLevelSmallChange, design::VSLevelLargeChange),
      txtLevel(frmSettings.Handle(), design::txtLevelText, design::txtLevel, kTwips),
      ChNoPath(frmSettings.Handle(), design::ChNoPathCaption, design::ChNoPath, kTwips),
      ChHidden(frmSettings.Handle(), design::ChHiddenCaption, design::ChHidden, kTwips),
      ChFiles(frmSettings.Handle(), design::ChFilesCaption, design::ChFiles, kTwips),
      lblLevels(frmSettings.Handle(), design::lblLevelsCaption, design::lblLevels, kTwips),
      systemDesktop(Me.Handle()),
      desktop(desktopOverride ? *desktopOverride : systemDesktop),
      form(frmMainControls{Me, Command1, txtPath, frmSettings, drDir, drDrive, lblPath, cmdSave,
                           cmdDoIt, txtResult, VSLevel, txtLevel, ChNoPath, ChHidden, ChFiles,
                           lblLevels},
           frmMainServices{files, events, desktop}) {
    frmSettings.PutBoxBehindChildren();
    ChNoPath.SetValue(1);
    Me.SetTabOrder({drDrive.Handle(), drDir.Handle(), ChFiles.Handle(), ChHidden.Handle(),
                    ChNoPath.Handle(), txtLevel.Handle(), VSLevel.Handle(), txtResult.Handle(),
                    cmdDoIt.Handle(), cmdSave.Handle(), txtPath.Handle(), Command1.Handle()});
    Me.onResize = [this] { form.Form_Resize(); };  // handles all of its own errors
    Me.AcceptDrops([this](TextView item) { form.Form_DropFiles(item); });
    txtPath.CompleteFolders();
}

void Win32Form::Show(int showCommand, TextView folder) {
    form.Form_Load();
    ShowWindow(Me.Handle(), showCommand);
    UpdateWindow(Me.Handle());
    SetFocus(drDrive.Handle());
    // Read against the current folder, as every program reads its arguments: the path
    // box's rule (the first letter picks the drive) is for typing.
    if (!folder.empty()) form.ChooseFolder(form.files.FullPath(folder));
}

}  // namespace tarnwick

#pragma once
// frmMain over in-memory controls, in the design-time state: the native build's window.
#include "platform/memory/MemoryControls.h"
#include "resultview/ResultView.h"
#include "window/Design.h"
#include "window/frmMain.h"

namespace tarnwick {

struct MemoryForm {
    MemoryForm(FileSystem& files, EventPump& events)
        : form(frmMainControls{Me, Command1, txtPath, frmSettings, drDir, drDrive, lblPath, cmdSave,
                               cmdDoIt, txtResult, VSLevel, txtLevel, ChNoPath, ChHidden, ChFiles,
                               lblLevels},
               frmMainServices{files, events, desktop}) {
        Me.SetCaption(design::kTitle);
        Command1.Move(design::Command1);
        Command1.SetCaption(design::Command1Caption);
        txtPath.Move(design::txtPath);
        frmSettings.Move(design::frmSettings);
        drDir.Move(design::drDir);
        drDrive.Move(design::drDrive);
        lblPath.Move(design::lblPath);
        cmdSave.Move(design::cmdSave);
        cmdSave.SetCaption(design::cmdSaveCaption);
        cmdDoIt.Move(design::cmdDoIt);
        cmdDoIt.SetCaption(design::cmdDoItCaption);
        txtResult.Move(design::txtResult);
        VSLevel.Move(design::VSLevel);
        VSLevel.max = design::VSLevelMax;
        SetQuietly(VSLevel, design::VSLevelValue);
        txtLevel.Move(design::txtLevel);
        SetQuietly(txtLevel, design::txtLevelText);
        ChNoPath.Move(design::ChNoPath);
        ChNoPath.SetValue(1);
        ChHidden.Move(design::ChHidden);
        ChFiles.Move(design::ChFiles);
        lblLevels.Move(design::lblLevels);
    }

    MemoryMainWindow Me;
    MemoryButton Command1;
    MemoryTextBox txtPath;
    MemoryFrame frmSettings;
    MemoryDirList drDir;
    MemoryDriveList drDrive;
    MemoryLabel lblPath;
    MemoryButton cmdSave;
    MemoryButton cmdDoIt;
    MemoryResultBox txtResult;
    MemoryScrollBar VSLevel;
    MemoryTextBox txtLevel;
    MemoryCheckBox ChNoPath;
    MemoryCheckBox ChHidden;
    MemoryCheckBox ChFiles;
    MemoryLabel lblLevels;
    MemoryDesktop desktop;
    frmMain form;

  private:
    // Design-time values are there before any handler could hear of them.
    template <class C, class V>
    static void SetQuietly(C& control, V value) {
        Notify saved = std::move(control.onChange);
        control.onChange = nullptr;
        if constexpr (std::is_same_v<C, MemoryTextBox>) {
            control.SetText(value);
        } else {
            control.SetValue(value);
        }
        control.onChange = std::move(saved);
    }
};

}  // namespace tarnwick

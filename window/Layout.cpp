// The folder list, the options frame, the result box and the two buttons follow the
// window's size with 8-pixel margins. Controls in the frame are placed in twips.
#include "window/frmMain.h"

namespace tarnwick {
namespace {

constexpr float kMargin = 8, kDoubleMargin = 16, kTwips = 15;

// A step that fails (a size below zero) changes nothing; the next step runs all the same.
template <class Step>
void ResumeNext(Step step) {
    try {
        step();
    } catch (const RunTimeError&) {
    }
}

}  // namespace

void frmMain::Form_Resize() {
    ResumeNext([&] {
        Rect r = drDir.GetRect();
        r.height = Me.ScaleHeight() - r.top - kMargin;
        drDir.Move(r);
    });
    ResumeNext([&] {
        Rect r = frmSettings.GetRect();
        r.width = Me.ScaleWidth() - r.left - kMargin;
        r.height = Me.ScaleHeight() - r.top - kMargin;
        frmSettings.Move(r);
    });
    ResumeNext([&] {
        const Rect frame = frmSettings.GetRect();
        Rect r = txtResult.GetRect();
        r.width = (frame.width - kDoubleMargin) * kTwips;
        r.height = (frame.height - kMargin) * kTwips - r.top;
        txtResult.Move(r);
    });
    ResumeNext([&] {
        Rect r = cmdDoIt.GetRect();
        r.width = (frmSettings.GetRect().width - kMargin) * kTwips - r.left;
        cmdDoIt.Move(r);
    });
    ResumeNext([&] {
        Rect r = cmdSave.GetRect();
        r.width = cmdDoIt.GetRect().width;
        cmdSave.Move(r);
    });
}

}  // namespace tarnwick

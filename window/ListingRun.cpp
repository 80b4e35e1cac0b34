// The start button: the first press starts a listing, a press during it asks it to stop;
// the window as the walk's host.
#include <new>

#include "listing/FolderWalk.h"
#include "platform/RunTimeError.h"
#include "window/frmMain.h"

namespace tarnwick {

// The walk pumps the window's events and reads its fields afresh each time: the handlers
// that run inside a pump are what change them.
class frmMain::WalkHostOfForm : public WalkHost {
  public:
    explicit WalkHostOfForm(frmMain& form) : form_(form) {}
    void Pump() override {
        if (form_.events.DoEvents() == 0) form_.events.End();
    }
    bool StopAsked() const override { return form_.StopRequested != False; }
    int32_t DepthLimit() const override { return form_.Levels; }
    int64_t NowMs() const override { return form_.clock(); }
    void PushDir(TextView DirStr) override { form_.PushDir(DirStr); }
    // The result box keeps beside each line where its entry stands, for its menu's paths.
    void PushLine(TextView DirStr, const LinePlace& place) override {
        AppendLine(form_.txtResult, DirStr, place, form_.line_);
    }

  private:
    frmMain& form_;
};

// Out of memory, the walk ends with the lines it has listed, and the run reports the error:
// a listing cut short never looks complete. The walk's memory is freed before the error is
// made.
void frmMain::ListFile(Text Path, int32_t Layer) {
    WalkHostOfForm host(*this);
    try {
        txtResult.BeginListing(Path, NoPath != False);
        FolderWalk(files, WalkSettings{NoPath, DirsOnly, DirAttr}, readAhead, host)
            .ListFile(std::move(Path), Layer);
    } catch (const std::bad_alloc&) {
        throw MakeError(error::OutOfMemory);
    }
}

bool frmMain::TestPath(TextView PathName) {
    return tarnwick::TestPath(files, PathName);
}

// A line that can't be inserted for want of memory ends the walk (see ListFile) rather
// than go missing.
void frmMain::PushDir(TextView DirStr) {
    AppendLine(txtResult, DirStr, line_);
}

void frmMain::cmdDoIt_Click() {
    bool started = false;
    try {
        if (Running) {
            StopRequested = True;
            return;
        }
        // A listing started while a save waits for its file would hold the save, with its
        // new file beside the old one, until the listing ended.
        if (saving_) return;
        DirsOnly = True;
        DirAttr = 16;
        NoPath = False;
        if (ChFiles.GetValue() != 0) DirsOnly = False;
        if (ChHidden.GetValue() != 0) DirAttr = DirAttr | 2;
        if (ChNoPath.GetValue() != 0) NoPath = True;
        StopRequested = False;
        Running = True;
        started = true;
        txtResult.SetText(u"");
        cmdDoIt.SetCaption(u"停止(&X)");
        ListFile(txtPath.GetText(), 1);
        cmdDoIt.SetCaption(u"开始列举(&B)");
        Running = False;
    } catch (const RunTimeError& e) {
        EndAfterError(e, started);
    } catch (const std::bad_alloc&) {
        EndAfterError(MakeError(error::OutOfMemory), started);
    }
}

// A run this press started ends as a normal end would, so the button is never left at
// its stop caption.
void frmMain::EndAfterError(const RunTimeError& e, bool started) {
    desktop.ShowErrorBox(e);
    if (!started) return;
    Running = False;
    try {
        cmdDoIt.SetCaption(u"开始列举(&B)");
    } catch (const RunTimeError&) {
    }
}

}  // namespace tarnwick

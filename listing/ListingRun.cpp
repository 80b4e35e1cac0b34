// The start button: the first press starts a listing, a press during it asks it to stop.
#include <new>

#include "platform/RunTimeError.h"
#include "window/frmMain.h"

namespace tarnwick {

void frmMain::cmdDoIt_Click() {
    bool started = false;
    try {
        if (Running) {
            StopRequested = True;
            return;
        }
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

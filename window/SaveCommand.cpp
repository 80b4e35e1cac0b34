// The save button: the listing goes to a text file chosen in the save dialog; the
// window's title tells how it went.
#include <algorithm>
#include <new>

#include "listing/NumberText.h"
#include "window/frmMain.h"

namespace tarnwick {
namespace {

// 文本文档(TXT) / *.TXT, 所有文件 / *.*: each part ends in a NUL, the list in one more
// (the literal's own).
constexpr char16_t kFilter[] = u"文本文档(TXT)\0*.TXT\0所有文件\0*.*\0";
constexpr uint32_t kFlags = 0x008A0004;  // hide read-only, no network button, explorer, sizing
constexpr uint32_t kFileBuffer = 260;
// The title after a save, by the encoding the listing went out in.
constexpr TextView kSaved[] = {u"保存成功。", u"保存成功。（UTF-8）", u"保存成功。（UTF-16）"};
// While a save waits for a file, the window looks at its messages as often as a walk does.
constexpr int64_t kAnswerEveryMs = 10;

}  // namespace

frmMain::Encoding frmMain::WriteListing(FileWriter& file) const {
    return tarnwick::WriteListing(txtResult, ansiCodePage, file);
}

// While the save waits for a file that another program holds, the window answers as during
// a walk. Once it is closed the save goes on without it, to leave the old file whole and
// nothing of ours beside it.
HeldFileWaits frmMain::SaveWaits(bool& closed) {
    return {clock, [this, &closed](int64_t ms) {
                const int64_t until = clock() + ms;
                for (int64_t now = clock(); now < until; now = clock()) {
                    if (!closed && events.DoEvents() == 0) closed = true;
                    pause(std::min(until - now, kAnswerEveryMs));
                }
            }};
}

// A window closed while the save waited ends the program once the file is dealt with, as a
// walk ends it: there is no title left to tell how it went.
frmMain::Encoding frmMain::SaveTo(TextView path) {
    saving_ = true;
    bool closed = false;
    const auto settled = [&] {
        saving_ = false;
        if (closed) events.End();
    };
    Encoding encoding = Encoding::CodePage;
    try {
        files.WriteReplacing(
            path, [&](FileWriter& file) { encoding = WriteListing(file); }, SaveWaits(closed));
    } catch (...) {
        settled();
        throw;
    }
    settled();
    return encoding;
}

void frmMain::cmdSave_Click() {
    // A click while a save waits for its file: that save is still the one asked for.
    if (saving_) return;
    const auto failed = [this](const RunTimeError& e) {
        Me.SetCaption(u"保存失败。" + e.description);
        desktop.ShowErrorBox(e);
    };
    try {
        Me.SetCaption(u"正在保存文件");
        const auto path = desktop.ShowSaveDialog(SaveRequest{
            Text(kFilter, std::size(kFilter)), u"保存文件清单", u"TXT", kFlags, kFileBuffer});
        if (path) {
            Me.SetCaption(kSaved[static_cast<int>(SaveTo(*path))]);
            return;
        }
        const uint32_t code = desktop.SaveDialogError();
        if (code != 0) {
            desktop.Beep();
            Me.SetCaption(u"未保存。CommDlgExtendedError=" + Digits(code));
            return;
        }
        Me.SetCaption(u"Tarnwick");
    } catch (const RunTimeError& e) {
        failed(e);
    } catch (const std::bad_alloc&) {
        failed(MakeError(error::OutOfMemory));  // the old file is left as it was
    }
}

}  // namespace tarnwick

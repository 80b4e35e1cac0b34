// The save button: the listing goes to a text file chosen in the save dialog; the
// window's title tells how it went.
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

}  // namespace

frmMain::Encoding frmMain::WriteListing(FileWriter& file) const {
    return tarnwick::WriteListing(txtResult, ansiCodePage, file);
}

void frmMain::cmdSave_Click() {
    const auto failed = [this](const RunTimeError& e) {
        Me.SetCaption(u"保存失败。" + e.description);
        desktop.ShowErrorBox(e);
    };
    try {
        Me.SetCaption(u"正在保存文件");
        const auto path = desktop.ShowSaveDialog(SaveRequest{
            Text(kFilter, std::size(kFilter)), u"保存文件清单", u"TXT", kFlags, kFileBuffer});
        if (path) {
            Encoding encoding = Encoding::CodePage;
            files.WriteReplacing(*path, [&](FileWriter& file) { encoding = WriteListing(file); });
            Me.SetCaption(kSaved[static_cast<int>(encoding)]);
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

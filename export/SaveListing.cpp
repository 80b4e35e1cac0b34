// The save button: the listing goes to a text file chosen in the save dialog; the
// window's title tells how it went.
#include "platform/Ansi.h"
#include "window/NumberText.h"
#include "window/frmMain.h"

namespace tarnwick {
namespace {

// 文本文档(TXT) / *.TXT, 所有文件 / *.*: each part ends in a NUL, the list in one more
// (the literal's own).
constexpr char16_t kFilter[] = u"文本文档(TXT)\0*.TXT\0所有文件\0*.*\0";
constexpr uint32_t kFlags = 0x008A0004;  // hide read-only, no network button, explorer, sizing
constexpr uint32_t kFileBuffer = 260;
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

}  // namespace

void frmMain::cmdSave_Click() {
    try {
        Me.SetCaption(u"正在保存文件");
        const auto path = desktop.ShowSaveDialog(SaveRequest{
            Text(kFilter, std::size(kFilter)), u"保存文件清单", u"TXT", kFlags, kFileBuffer});
        if (path) {
            const Text text = txtResult.GetText();
            // A text the code page cannot hold exactly is saved as UTF-8 rather than lose
            // characters.
            std::optional<std::string> bytes = ToAnsiExactly(text);
            const bool utf8 = !bytes;
            if (utf8) bytes = kUtf8Mark + ToUtf8(text);
            files.WriteReplacing(*path, *bytes);
            Me.SetCaption(utf8 ? u"保存成功。（UTF-8）" : u"保存成功。");
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
        Me.SetCaption(u"保存失败。" + e.description);
        desktop.ShowErrorBox(e);
    }
}

}  // namespace tarnwick

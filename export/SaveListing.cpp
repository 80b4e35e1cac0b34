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

// The listing in the ANSI code page, read and converted a piece at a time. A text the code
// page cannot hold exactly is written afresh as UTF-8 rather than lose characters; true
// then. Where the ANSI code page is UTF-8 itself, its text is exact and takes no mark.
bool frmMain::WriteListing(FileWriter& file) const {
    bool exact = true;
    txtResult.ForEachPiece([&](TextView piece) {
        const std::optional<std::string> bytes = ToCodePageExactly(piece, ansiCodePage);
        if (bytes) file.Write(*bytes);
        exact = bytes.has_value();
        return exact;
    });
    if (exact) return false;
    file.Restart();
    file.Write(kUtf8Mark);
    txtResult.ForEachPiece([&](TextView piece) {
        file.Write(ToUtf8(piece));
        return true;
    });
    return true;
}

void frmMain::cmdSave_Click() {
    try {
        Me.SetCaption(u"正在保存文件");
        const auto path = desktop.ShowSaveDialog(SaveRequest{
            Text(kFilter, std::size(kFilter)), u"保存文件清单", u"TXT", kFlags, kFileBuffer});
        if (path) {
            bool utf8 = false;
            files.WriteReplacing(*path, [&](FileWriter& file) { utf8 = WriteListing(file); });
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

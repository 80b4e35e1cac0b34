// The save button: the listing goes to a text file chosen in the save dialog; the
// window's title tells how it went.
#include <new>

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
// The title after a save, by the encoding the listing went out in.
constexpr TextView kSaved[] = {u"保存成功。", u"保存成功。（UTF-8）", u"保存成功。（UTF-16）"};
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
constexpr char kUtf16Mark[] = "\xFF\xFE";

// A surrogate without its partner: NTFS allows one in a name (natively it stands for a
// byte of a name that is not UTF-8), and only UTF-16 can hold it.
bool HoldsLoneSurrogate(TextView text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]))
            ++i;
        else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i]))
            return true;
    }
    return false;
}

std::optional<std::string> ToUtf8Exactly(TextView text) {
    if (HoldsLoneSurrogate(text)) return std::nullopt;
    return ToUtf8(text);
}

std::optional<std::string> ToUtf16Le(TextView text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (const char16_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return bytes;
}

// Writes `mark` and the text a piece at a time in one encoding; false, having stopped, at
// the first piece the encoding cannot hold exactly.
template <class Convert>
bool WriteIn(const ResultBox& text, FileWriter& file, std::string_view mark, Convert convert) {
    bool exact = true;
    file.Write(mark);
    text.ForEachPiece([&](TextView piece) {
        const std::optional<std::string> bytes = convert(piece);
        if (bytes) file.Write(*bytes);
        exact = bytes.has_value();
        return exact;
    });
    return exact;
}

}  // namespace

// The listing in the ANSI code page. A text the code page cannot hold exactly is written
// afresh as UTF-8, or as UTF-16 where it holds a lone surrogate, rather than lose a
// character. Where the ANSI code page is UTF-8 itself, its text is exact and takes no mark.
// A box that holds the listing in the code page already hands its bytes over as they are.
frmMain::Encoding frmMain::WriteListing(FileWriter& file) const {
    const auto write = [&](std::string_view bytes) {
        file.Write(bytes);
        return true;
    };
    if (txtResult.ForEachPieceIn(ansiCodePage, write)) return Encoding::CodePage;
    const auto inCodePage = [&](TextView piece) { return ToCodePageExactly(piece, ansiCodePage); };
    if (WriteIn(txtResult, file, "", inCodePage)) return Encoding::CodePage;
    file.Restart();
    if (WriteIn(txtResult, file, kUtf8Mark, ToUtf8Exactly)) return Encoding::Utf8;
    file.Restart();
    WriteIn(txtResult, file, kUtf16Mark, ToUtf16Le);
    return Encoding::Utf16;
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

// The listing's bytes as a save writes them.
#include "export/SaveListing.h"

#include "platform/Ansi.h"

namespace tarnwick {
namespace {

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
ListingEncoding WriteListing(const ResultBox& txtResult, uint32_t ansiCodePage, FileWriter& file) {
    const auto write = [&](std::string_view bytes) {
        file.Write(bytes);
        return true;
    };
    if (txtResult.ForEachPieceIn(ansiCodePage, write)) return ListingEncoding::CodePage;
    const auto inCodePage = [&](TextView piece) { return ToCodePageExactly(piece, ansiCodePage); };
    if (WriteIn(txtResult, file, "", inCodePage)) return ListingEncoding::CodePage;
    file.Restart();
    if (WriteIn(txtResult, file, kUtf8Mark, ToUtf8Exactly)) return ListingEncoding::Utf8;
    file.Restart();
    WriteIn(txtResult, file, kUtf16Mark, ToUtf16Le);
    return ListingEncoding::Utf16;
}

}  // namespace tarnwick

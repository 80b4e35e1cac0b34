#include <windows.h>

#include <algorithm>

#include "platform/Ansi.h"

namespace tarnwick {
namespace {

// Converted a piece at a time: the read-back check then stays in the processor's cache and
// needs a buffer of one piece, not of the whole listing.
constexpr size_t kPiece = 1 << 20;

// The end of the piece that starts at `from`, never between the halves of a surrogate pair.
size_t PieceEnd(TextView text, size_t from) {
    size_t end = std::min(text.size(), from + kPiece);
    if (end < text.size() && end > from + 1 && text[end - 1] >= 0xD800 && text[end - 1] < 0xDC00)
        --end;
    return end;
}

// Appends the piece's conversion to `out`; false when a character had no exact equivalent.
// Converted straight into room for the most bytes a character can take (two in a
// double-byte code page, three in UTF-8), measuring first only when that is not enough.
// UTF-8 takes neither the best-fit flag nor the used-default check; `strict` makes it
// refuse a lone surrogate instead of writing the replacement character.
bool AppendConverted(UINT codePage, TextView piece, std::string& out, bool strict = true) {
    const auto* w = reinterpret_cast<const wchar_t*>(piece.data());
    const int n = static_cast<int>(piece.size());
    if (n == 0) return true;
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = !utf8 ? WC_NO_BEST_FIT_CHARS : strict ? WC_ERR_INVALID_CHARS : 0;
    BOOL usedDefault = FALSE;
    BOOL* check = utf8 ? nullptr : &usedDefault;
    const size_t at = out.size();
    int room = n * (utf8 ? 3 : 2);
    out.resize(at + static_cast<size_t>(room));
    int size = WideCharToMultiByte(codePage, flags, w, n, out.data() + at, room, nullptr, check);
    if (size == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        room = WideCharToMultiByte(codePage, flags, w, n, nullptr, 0, nullptr, check);
        out.resize(at + static_cast<size_t>(room));
        size = WideCharToMultiByte(codePage, flags, w, n, out.data() + at, room, nullptr, check);
    }
    out.resize(at + static_cast<size_t>(size));
    return size > 0 && !usedDefault;
}

// Exact only if the bytes read back as the very same characters.
bool ReadsBack(UINT codePage, std::string_view bytes, TextView piece, std::wstring& buffer) {
    buffer.resize(piece.size());
    const int n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                      buffer.data(), static_cast<int>(buffer.size()));
    return static_cast<size_t>(n) == piece.size() &&
           std::equal(piece.begin(), piece.end(), buffer.begin(),
                      [](char16_t a, wchar_t b) { return a == static_cast<char16_t>(b); });
}

}  // namespace

uint32_t AnsiCodePage() {
    return GetACP();
}

// The system's own conversion, always there.
Text LoadAnsiCodePage() {
    return {};
}

std::optional<std::string> ToCodePageExactly(TextView text, uint32_t codePage) {
    std::string bytes;
    std::wstring back;
    for (size_t from = 0; from < text.size();) {
        const size_t end = PieceEnd(text, from);
        const TextView piece = text.substr(from, end - from);
        const size_t at = bytes.size();
        if (!AppendConverted(codePage, piece, bytes)) return std::nullopt;
        if (codePage != CP_UTF8 &&
            !ReadsBack(codePage, std::string_view(bytes).substr(at), piece, back))
            return std::nullopt;
        from = end;
    }
    return bytes;
}

std::string ToUtf8(TextView text) {
    std::string utf8;
    for (size_t from = 0; from < text.size();) {
        const size_t end = PieceEnd(text, from);
        AppendConverted(CP_UTF8, text.substr(from, end - from), utf8, false);
        from = end;
    }
    return utf8;
}

}  // namespace tarnwick

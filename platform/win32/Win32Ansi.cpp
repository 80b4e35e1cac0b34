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
bool AppendConverted(UINT codePage, DWORD flags, TextView piece, std::string& out) {
    const auto* w = reinterpret_cast<const wchar_t*>(piece.data());
    const int n = static_cast<int>(piece.size());
    if (n == 0) return true;
    BOOL usedDefault = FALSE;
    BOOL* check = codePage == CP_UTF8 ? nullptr : &usedDefault;
    const size_t at = out.size();
    int room = n * (codePage == CP_UTF8 ? 3 : 2);
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
bool ReadsBack(std::string_view bytes, TextView piece, std::wstring& buffer) {
    buffer.resize(piece.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                      buffer.data(), static_cast<int>(buffer.size()));
    return static_cast<size_t>(n) == piece.size() &&
           std::equal(piece.begin(), piece.end(), buffer.begin(),
                      [](char16_t a, wchar_t b) { return a == static_cast<char16_t>(b); });
}

}  // namespace

std::optional<std::string> ToAnsiExactly(TextView text) {
    std::string ansi;
    std::wstring back;
    for (size_t from = 0; from < text.size();) {
        const size_t end = PieceEnd(text, from);
        const TextView piece = text.substr(from, end - from);
        const size_t at = ansi.size();
        if (!AppendConverted(CP_ACP, WC_NO_BEST_FIT_CHARS, piece, ansi)) return std::nullopt;
        if (!ReadsBack(std::string_view(ansi).substr(at), piece, back)) return std::nullopt;
        from = end;
    }
    return ansi;
}

std::string ToUtf8(TextView text) {
    std::string utf8;
    for (size_t from = 0; from < text.size();) {
        const size_t end = PieceEnd(text, from);
        AppendConverted(CP_UTF8, 0, text.substr(from, end - from), utf8);
        from = end;
    }
    return utf8;
}

}  // namespace tarnwick

#include <windows.h>

#include "platform/Ansi.h"
#include "platform/win32/Wide.h"

namespace tarnwick {
namespace {

std::string Convert(UINT codePage, DWORD flags, TextView text, BOOL* usedDefault) {
    if (text.empty()) return {};
    const auto* w = reinterpret_cast<const wchar_t*>(text.data());
    const int n = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(codePage, flags, w, n, nullptr, 0, nullptr, usedDefault);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, flags, w, n, out.data(), size, nullptr, usedDefault);
    return out;
}

}  // namespace

std::optional<std::string> ToAnsiExactly(TextView text) {
    BOOL usedDefault = FALSE;
    std::string ansi = Convert(CP_ACP, WC_NO_BEST_FIT_CHARS, text, &usedDefault);
    if (usedDefault) return std::nullopt;
    // Exact only if it reads back as the very same text.
    std::wstring back(text.size(), L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                      back.data(), static_cast<int>(back.size()));
    if (static_cast<size_t>(n) != text.size() || win32::FromW(back.data(), back.size()) != text)
        return std::nullopt;
    return ansi;
}

std::string ToUtf8(TextView text) {
    return Convert(CP_UTF8, 0, text, nullptr);
}

}  // namespace tarnwick

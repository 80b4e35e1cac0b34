#pragma once
// The program's UTF-16 text as the wide strings of the Windows API (the same bytes).
#include <string>

#include "platform/Text.h"

namespace tarnwick::win32 {

inline const wchar_t* W(const Text& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline TextView FromW(const wchar_t* s, size_t n) {
    return TextView(reinterpret_cast<const char16_t*>(s), n);
}
inline TextView FromW(const wchar_t* s) {
    return FromW(s, std::char_traits<wchar_t>::length(s));
}

}  // namespace tarnwick::win32

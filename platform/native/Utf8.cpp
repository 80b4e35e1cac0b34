#include "platform/native/Utf8.h"

#include "platform/native/AsciiRuns.h"

namespace tarnwick::native {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of the valid UTF-8 sequence at the start of `s`, and its code point; 0 if invalid.
size_t DecodeOne(std::string_view s, char32_t& cp) {
    const auto c0 = static_cast<unsigned char>(s[0]);
    size_t n;
    char32_t min;
    if (c0 >= 0xC2 && c0 <= 0xDF) {
        n = 2, min = 0x80, cp = c0 & 0x1F;
    } else if (c0 >= 0xE0 && c0 <= 0xEF) {
        n = 3, min = 0x800, cp = c0 & 0x0F;
    } else if (c0 >= 0xF0 && c0 <= 0xF4) {
        n = 4, min = 0x10000, cp = c0 & 0x07;
    } else {
        return 0;
    }
    if (s.size() < n) return 0;
    for (size_t i = 1; i < n; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (!IsContinuation(c)) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

}  // namespace

// Written in place: a name never takes more units than bytes.
void AppendUtf16(std::string_view bytes, Text& out) {
    const size_t at = out.size();
    out.resize(at + bytes.size());
    char16_t* o = out.data() + at;
    while (!bytes.empty()) {
        const size_t ascii = WidenAscii(bytes.data(), bytes.size(), o);
        o += ascii;
        bytes.remove_prefix(ascii);
        if (bytes.empty()) break;
        const auto c0 = static_cast<unsigned char>(bytes[0]);
        if (c0 < 0x80) {
            *o++ = c0;
            bytes.remove_prefix(1);
            continue;
        }
        char32_t cp;
        const size_t n = DecodeOne(bytes, cp);
        if (n == 0) {
            *o++ = static_cast<char16_t>(kEscapeBase + c0);
            bytes.remove_prefix(1);
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *o++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *o++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *o++ = static_cast<char16_t>(cp);
        }
        bytes.remove_prefix(n);
    }
    out.resize(static_cast<size_t>(o - out.data()));
}

// Written in place: a unit never takes more than three bytes.
void AppendBytes(TextView text, std::string& out) {
    const size_t at = out.size();
    out.resize(at + text.size() * 3);
    char* o = out.data() + at;
    const auto put = [&o](char32_t b) { *o++ = static_cast<char>(b); };
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t ascii = NarrowAscii(text.data() + i, text.size() - i, o);
        o += ascii;
        i += ascii;
        if (i == text.size()) break;
        char32_t cp = text[i];
        if (cp < 0x80) {
            put(cp);
            continue;
        }
        if (cp >= 0xDC80 && cp <= 0xDCFF) {  // an escaped byte
            put(cp - kEscapeBase);
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        // Other lone surrogates cannot come from a name; they are written as WTF-8 would.
        if (cp < 0x800) {
            put(0xC0 | (cp >> 6));
        } else if (cp < 0x10000) {
            put(0xE0 | (cp >> 12));
            put(0x80 | ((cp >> 6) & 0x3F));
        } else {
            put(0xF0 | (cp >> 18));
            put(0x80 | ((cp >> 12) & 0x3F));
            put(0x80 | ((cp >> 6) & 0x3F));
        }
        put(0x80 | (cp & 0x3F));
    }
    out.resize(static_cast<size_t>(o - out.data()));
}

}  // namespace tarnwick::native

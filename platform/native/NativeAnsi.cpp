#include "platform/native/NativeAnsi.h"

#include <iconv.h>

#include <atomic>
#include <cstring>
#include <new>
#include <string>

#include "platform/Ansi.h"
#include "platform/native/AsciiRuns.h"
#include "platform/native/Utf8.h"

namespace tarnwick {
namespace {

// One conversion through iconv: the text in `to`, or nothing where iconv stops at a
// character it lacks (without //TRANSLIT: no look-alikes) or cannot convert at all.
std::optional<std::string> Iconv(std::string_view in, const char* to, const char* from,
                                 size_t outSize, bool* opened = nullptr) {
    std::string out(outSize, '\0');  // before the open: nothing throws till the close
    const iconv_t cd = iconv_open(to, from);
    if (opened) *opened = cd != reinterpret_cast<iconv_t>(-1);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    auto* i = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    char* o = out.data();
    size_t outLeft = out.size();
    const size_t r = iconv(cd, &i, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

std::string_view Bytes(TextView text) {
    return {reinterpret_cast<const char*>(text.data()), text.size() * 2};
}

// What code page 936 makes of one UTF-16 unit, found once through iconv: bits 0 to 15 its
// bytes, 16 and 17 how many (none: the code page lacks it), 18 set when the code page holds
// it, 19 when its bytes turn back into the unit too, 20 once known. A surrogate is left to
// iconv, which reads pairs.
class Table {
  public:
    static constexpr uint32_t kHeld = 1u << 18, kReversible = 1u << 19, kKnown = 1u << 20;
    Table() {
        for (char16_t u = 0; u < 0x80; ++u)
            asciiSame = asciiSame && (*this)[u] == (kKnown | kReversible | kHeld | 1u << 16 | u);
    }
    bool asciiSame = true;  // ASCII goes through as it is
    uint32_t operator[](char16_t u) {
        const uint32_t e = entries_[u].load(std::memory_order_relaxed);
        return e ? e : Fill(u);
    }

  private:
    // Not kept when iconv could not even be opened (no descriptors, no memory): that unit
    // is not held this time only, as before the table.
    uint32_t Fill(char16_t u) {
        bool opened = true;
        const uint32_t e = IsHighSurrogate(u) || IsLowSurrogate(u) ? kKnown : Ask(u, opened);
        if (opened) entries_[u].store(e, std::memory_order_relaxed);
        return e;
    }
    static uint32_t Ask(char16_t u, bool& opened) {
        const std::string_view unit = Bytes(TextView(&u, 1));
        const auto bytes = Iconv(unit, "CP936", "UTF-16LE", 8, &opened);
        if (!bytes || bytes->empty() || bytes->size() > 2) return kKnown;
        uint32_t e = kKnown | kHeld | static_cast<uint32_t>(bytes->size()) << 16;
        for (size_t i = 0; i < bytes->size(); ++i)
            e |= static_cast<uint32_t>(static_cast<unsigned char>((*bytes)[i])) << (8 * i);
        return Iconv(*bytes, "UTF-16LE", "CP936", 8) == unit ? e | kReversible : e;
    }
    std::atomic<uint32_t> entries_[0x10000] = {};
};

Table& CodePage936() {
    static Table table;
    return table;
}

enum class Outcome { Done, NotHeld, Surrogate };

// Runs of ASCII as they are; the rest through the table.
Outcome Convert(TextView text, char* out, bool reversibly, size_t& written) {
    Table& table = CodePage936();
    const uint32_t need = reversibly ? Table::kReversible : Table::kHeld;
    const char16_t* p = text.data();
    const char16_t* const end = p + text.size();
    char* o = out;
    while (p != end) {
        if (table.asciiSame) {
            const size_t n = native::NarrowAscii(p, static_cast<size_t>(end - p), o);
            p += n;
            o += n;
            if (p == end) break;
        }
        const uint32_t e = table[*p];
        if (!(e & need))
            return IsHighSurrogate(*p) || IsLowSurrogate(*p) ? Outcome::Surrogate
                                                             : Outcome::NotHeld;
        o[0] = static_cast<char>(e & 0xFF);
        o[1] = static_cast<char>((e >> 8) & 0xFF);
        o += (e >> 16) & 3;
        ++p;
    }
    written = static_cast<size_t>(o - out);
    return Outcome::Done;
}

}  // namespace

uint32_t AnsiCodePage() {
    return native::kAnsiCodePage;
}

std::optional<std::string> ToCodePageExactly(TextView text, uint32_t codePage) {
    if (codePage == native::kAnsiCodePage) {
        std::string out(text.size() * 2, '\0');
        size_t n = 0;
        const Outcome o = Convert(text, out.data(), false, n);
        if (o == Outcome::NotHeld) return std::nullopt;
        if (o == Outcome::Done) {
            out.resize(n);
            return out;
        }
    }
    const std::string name = codePage == kUtf8CodePage ? "UTF-8" : "CP" + std::to_string(codePage);
    return Iconv(Bytes(text), name.c_str(), "UTF-16LE", text.size() * 3 + 16);
}

std::string ToUtf8(TextView text) {
    return native::ToBytes(text);
}

namespace native {

std::optional<size_t> ToAnsiReversibly(TextView text, char* out) {
    size_t n = 0;
    if (Convert(text, out, true, n) != Outcome::Done) return std::nullopt;
    return n;
}

void AppendFromAnsi(std::string_view bytes, Text& out) {
    const auto utf16 = Iconv(bytes, "UTF-16LE", "CP936", bytes.size() * 2);
    if (!utf16) throw std::bad_alloc();  // they came from text: only iconv's own resources fail
    const size_t at = out.size();
    out.resize(at + utf16->size() / 2);
    std::memcpy(out.data() + at, utf16->data(), utf16->size());
}

}  // namespace native
}  // namespace tarnwick

#include "platform/native/NativeAnsi.h"

#include <iconv.h>
#include <locale.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <tuple>

#include "platform/Ansi.h"
#include "platform/native/AsciiRuns.h"
#include "platform/native/Utf8.h"

namespace tarnwick {
namespace {

// One conversion through iconv: the text in `to`, or nothing where iconv stops at a
// character it lacks (without //TRANSLIT: no look-alikes) or cannot convert at all.
std::optional<std::string> Iconv(std::string_view in, const char* to, const char* from,
                                 size_t outSize) {
    std::string out(outSize, '\0');  // before the open: nothing throws till the close
    const iconv_t cd = iconv_open(to, from);
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

// iconv's two conversions of code page 936, opened once and kept for the process. Opening
// one loads its tables, which takes descriptors and memory that a walk holding its folders
// open may have left none of; once open, converting takes neither.
class Kept {
  public:
    // Empty once both are open; else why not, in the system's words.
    Text Load() {
        if (loaded_.load(std::memory_order_acquire)) return {};
        std::lock_guard lock(mutex_);
        for (auto [cd, to, from] : {std::tuple{&to936_, "CP936", "UTF-16LE"},
                                    std::tuple{&from936_, "UTF-16LE", "CP936"}}) {
            if (*cd == kNone) *cd = iconv_open(to, from);
            if (*cd == kNone) return Reason(errno);
        }
        loaded_.store(true, std::memory_order_release);
        return {};
    }
    // `in` converted into `out`, of `room` bytes: how many, or nothing where iconv stops at
    // a character it lacks (without //TRANSLIT: no look-alikes) or can't be loaded.
    std::optional<size_t> ToAnsi(std::string_view in, char* out, size_t room) {
        return Run(&Kept::to936_, in, out, room);
    }
    std::optional<size_t> FromAnsi(std::string_view in, char* out, size_t room) {
        return Run(&Kept::from936_, in, out, room);
    }

  private:
    static inline const auto kNone = reinterpret_cast<iconv_t>(-1);
    static Text Reason(int code) {
        static const locale_t asked = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
        return native::ToUtf16(asked ? strerror_l(code, asked) : std::strerror(code));
    }
    std::optional<size_t> Run(iconv_t Kept::*which, std::string_view in, char* out, size_t room) {
        if (!Load().empty()) return std::nullopt;
        std::lock_guard lock(mutex_);  // a conversion keeps a state of its own
        const iconv_t cd = this->*which;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);  // from the initial state
        auto* i = const_cast<char*>(in.data());
        size_t inLeft = in.size(), outLeft = room;
        const size_t r = iconv(cd, &i, &inLeft, &out, &outLeft);
        if (r == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
        return room - outLeft;
    }
    std::atomic<bool> loaded_ = false;
    std::mutex mutex_;
    iconv_t to936_ = kNone, from936_ = kNone;
};

Kept& Kept936() {
    static Kept kept;
    return kept;
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
    uint32_t Fill(char16_t u) {
        const uint32_t e = IsHighSurrogate(u) || IsLowSurrogate(u) ? kKnown : Ask(u);
        entries_[u].store(e, std::memory_order_relaxed);
        return e;
    }
    static uint32_t Ask(char16_t u) {
        char bytes[8], back[8];
        const auto n = Kept936().ToAnsi(Bytes(TextView(&u, 1)), bytes, sizeof bytes);
        if (!n || *n == 0 || *n > 2) return kKnown;
        uint32_t e = kKnown | kHeld | static_cast<uint32_t>(*n) << 16;
        for (size_t i = 0; i < *n; ++i)
            e |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
        const auto m = Kept936().FromAnsi({bytes, *n}, back, sizeof back);
        const bool reversible = m == 2 && std::memcmp(back, &u, 2) == 0;
        return reversible ? e | kReversible : e;
    }
    std::atomic<uint32_t> entries_[0x10000] = {};
};

// Null while the conversion can't be loaded: nothing is then held in the code page.
Table* CodePage936() {
    if (!Kept936().Load().empty()) return nullptr;
    static Table table;
    return &table;
}

enum class Outcome { Done, NotHeld, Surrogate };

// Runs of ASCII as they are; the rest through the table.
Outcome Convert(TextView text, char* out, bool reversibly, size_t& written) {
    Table* const loaded = CodePage936();
    if (!loaded) return Outcome::NotHeld;
    Table& table = *loaded;
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

Text LoadAnsiCodePage() {
    return Kept936().Load();
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
    const size_t at = out.size();
    out.resize(at + bytes.size());  // a unit a byte at most
    const auto n =
        Kept936().FromAnsi(bytes, reinterpret_cast<char*>(out.data() + at), bytes.size() * 2);
    if (!n) throw std::bad_alloc();  // they came from text: only loading can fail
    out.resize(at + *n / 2);
}

}  // namespace native
}  // namespace tarnwick

// The depth box's leading-number rule, typed into the in-memory window, against a model
// that reads the longest leading number as written and converts it with strtod.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <string>

#include "listing/NumberText.h"
#include "platform/FileSystem.h"
#include "tests/fuzz/FuzzText.h"
#include "tests/support/ScriptedPump.h"
#include "window/memory/MemoryForm.h"

namespace tarnwick::fuzz {
namespace {

struct Reference {
    double value;
    enum { Exact, Near, Tiny } kind;  // Near: a long run of "&H" digits, summed in doubles
};

bool IsDigitOf(char c, int radix) {
    const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : 99;
    return d < radix;
}

// "&H" and "&O": a 16-bit value up to 4 (octal 6) significant digits, then a 32-bit one up
// to 8, beyond that the magnitude.
Reference RadixReference(const std::string& s, int radix) {
    size_t end = 2;
    while (end < s.size() && IsDigitOf(static_cast<char>(std::tolower(s[end])), radix)) ++end;
    const size_t first = std::min(s.find_first_not_of('0', 2), end);
    long double magnitude = 0;
    for (size_t i = first; i < end; ++i)
        magnitude = magnitude * radix + std::stoi(std::string(1, s[i]), nullptr, 16);
    const size_t digits = end - first;
    if (digits <= (radix == 16 ? 4u : 6u) && magnitude <= 0xFFFF)
        return {static_cast<double>(static_cast<int16_t>(static_cast<uint16_t>(magnitude))),
                Reference::Exact};
    if (digits <= 8 && magnitude <= 0xFFFFFFFFu)
        return {static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(magnitude))),
                Reference::Exact};
    return {static_cast<double>(magnitude), Reference::Near};
}

Reference ModelValue(TextView text) {
    std::string s;
    for (char16_t c : text)
        if (c != u' ' && c != u'\t' && c != u'\n') s += c < 0x80 ? static_cast<char>(c) : '?';
    if (s.size() >= 2 && s[0] == '&' && (s[1] == 'h' || s[1] == 'H')) return RadixReference(s, 16);
    if (s.size() >= 2 && s[0] == '&' && (s[1] == 'o' || s[1] == 'O')) return RadixReference(s, 8);
    size_t i = s.starts_with('+') || s.starts_with('-') ? 1 : 0;
    const size_t digitsFrom = i;
    bool point = false;
    while (i < s.size() &&
           (std::isdigit(static_cast<unsigned char>(s[i])) || (s[i] == '.' && !point)))
        point |= s[i++] == '.';
    if (i - digitsFrom == static_cast<size_t>(point)) return {0, Reference::Exact};  // no digit
    size_t exponent = i + 1;
    if (exponent < s.size() && (s[exponent] == '+' || s[exponent] == '-')) ++exponent;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E') && exponent < s.size() &&
        std::isdigit(static_cast<unsigned char>(s[exponent])))
        for (i = exponent; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]));) ++i;
    errno = 0;
    const double value = std::strtod(s.substr(0, i).c_str(), nullptr);
    return {value, errno == ERANGE && std::fabs(value) < 1 ? Reference::Tiny : Reference::Exact};
}

// Halves to the even neighbour, then into 1..32767.
int32_t ModelDepth(double value) {
    const double below = std::floor(value), part = value - below;
    double whole = part > 0.5 ? below + 1 : below;
    if (part == 0.5 && std::fmod(below, 2) != 0) whole = below + 1;
    return static_cast<int32_t>(std::clamp(whole, 1.0, 32767.0));
}

struct Window {
    std::unique_ptr<FileSystem> files = MakeFileSystem();
    testing::ScriptedPump pump;
    MemoryForm w{*files, pump};
};

}  // namespace
}  // namespace tarnwick::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tarnwick;
    using namespace tarnwick::fuzz;
    static Window window;
    const Text typed = ToText(data, size);
    const Reference model = ModelValue(typed);
    const double value = Val(typed);
    if (model.kind == Reference::Exact) FUZZ_CHECK(value == model.value);
    if (model.kind == Reference::Near)
        FUZZ_CHECK(value == model.value ||
                   std::fabs(value - model.value) <= std::fabs(model.value) * 1e-12);
    if (model.kind == Reference::Tiny) FUZZ_CHECK(std::fabs(value) < 1);

    frmMain& form = window.w.form;
    window.w.txtLevel.SetText(typed);
    const int32_t depth = ModelDepth(model.value);
    FUZZ_CHECK(form.Levels == depth);
    FUZZ_CHECK(window.w.txtLevel.GetText() == Digits(depth));
    FUZZ_CHECK(window.w.VSLevel.GetValue() == 32767 - depth);
    // What the arrow keys write reads back as the number they wrote.
    if (std::isfinite(value)) {
        const double back = Val(GeneralNumber(value));
        FUZZ_CHECK(std::fabs(back - value) <= std::fabs(value) * 1e-14);
    }
    return 0;
}

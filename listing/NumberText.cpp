#include "listing/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace tarnwick {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "&H" and "&O" integers: up to 4 digits are a 16-bit value, up to 8 a 32-bit one, so
// "&HFFFF" is -1; longer runs keep their magnitude.
double RadixValue(const std::string& s, size_t from, int radix) {
    double value = 0;
    uint64_t bits = 0;
    size_t digits = 0;
    for (size_t i = from; i < s.size(); ++i) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
        int d = IsDigit(c) ? c - '0' : (c >= 'a' && c <= 'f' ? c - 'a' + 10 : 99);
        if (d >= radix) break;
        value = value * radix + d;
        bits = bits * static_cast<uint64_t>(radix) + static_cast<uint64_t>(d);
        if (digits > 0 || d != 0) ++digits;
    }
    const int width = radix == 16 ? 4 : 6;  // digits that fill 16 bits
    if (digits <= static_cast<size_t>(width) && bits <= 0xFFFF) return static_cast<int16_t>(bits);
    if (digits <= 8 && bits <= 0xFFFFFFFFu) return static_cast<int32_t>(bits);
    return value;  // longer runs: their magnitude (the 64-bit sum may have wrapped)
}

// Whether a number too far from 1 for a double is too small rather than too large: the
// sign of its decimal magnitude, from its significant digits' place and its exponent.
bool IsTiny(const std::string& s, size_t from, size_t mantissaEnd, size_t end) {
    int64_t magnitude = 0;
    bool significant = false, fraction = false;
    for (size_t k = from; k < mantissaEnd; ++k) {
        if (s[k] == '.') {
            fraction = true;
        } else if (!significant && s[k] == '0') {
            if (fraction) --magnitude;  // a zero right after the point
        } else if (!significant) {
            significant = true;
            if (fraction) break;
            ++magnitude;
        } else if (!fraction) {
            ++magnitude;
        }
    }
    int64_t exponent = 0;
    size_t k = mantissaEnd + 1;
    const bool negative = k < end && s[k] == '-';
    if (k < end && (s[k] == '-' || s[k] == '+')) ++k;
    for (; k < end; ++k) exponent = std::min<int64_t>(exponent * 10 + (s[k] - '0'), 1 << 30);
    return magnitude + (negative ? -exponent : exponent) < 0;
}

}  // namespace

double Val(TextView text) {
    std::string s;  // the text without blanks, in ASCII (other characters end any number)
    for (char16_t c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n') continue;
        s.push_back(c < 0x80 ? static_cast<char>(c) : '\x7f');
    }
    if (s.size() >= 2 && s[0] == '&') {
        const char r = static_cast<char>(std::tolower(static_cast<unsigned char>(s[1])));
        if (r == 'h') return RadixValue(s, 2, 16);
        if (r == 'o') return RadixValue(s, 2, 8);
    }
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t mantissa = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        if (IsDigit(s[i])) {
            ++mantissa;
        } else if (s[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (mantissa == 0) return 0;
    const size_t mantissaEnd = i;
    size_t end = i;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < s.size() && IsDigit(s[j])) {
            while (j < s.size() && IsDigit(s[j])) ++j;
            end = j;
        }
    }
    const size_t start = s[0] == '+' ? 1 : 0;  // from_chars takes no plus sign
    double value = 0;
    const auto r = std::from_chars(s.data() + start, s.data() + end, value);
    if (r.ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: its nearest end, or zero.
        const size_t digits = s[0] == '+' || s[0] == '-' ? 1 : 0;
        value = IsTiny(s, digits, mantissaEnd, end) ? 0.0 : std::numeric_limits<double>::infinity();
        if (s[0] == '-') value = -value;
    }
    return value;
}

int32_t ToLong(double value) {
    if (std::isnan(value)) return 0;
    const double rounded = std::nearbyint(value);  // the default rounding: halves to even
    if (rounded >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (rounded <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(rounded);
}

Text Digits(int64_t value) {
    const std::string s = std::to_string(value);
    return Text(s.begin(), s.end());
}

Text GeneralNumber(double value) {
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        return Digits(static_cast<int64_t>(value));
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15G", value);
    const std::string s = buffer;
    return Text(s.begin(), s.end());
}

}  // namespace tarnwick

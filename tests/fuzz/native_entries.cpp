// A batch of getdents64 entries read as the POSIX file system reads it, against the layout
// read a byte at a time; each name turned into text and back gives its very bytes, and
// holds a lone surrogate exactly when it is not UTF-8.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/native/DirectoryEntries.h"
#include "platform/native/Utf8.h"
#include "tests/fuzz/FuzzText.h"

namespace tarnwick::fuzz {
namespace {

struct Entry {
    std::string name;
    unsigned char type;
    friend bool operator==(const Entry&, const Entry&) = default;
};

// d_ino and d_off (8 bytes each), d_reclen (2, little-endian), d_type (1), the name up to
// its NUL; an entry the batch does not hold whole, or without its NUL, ends it.
std::vector<Entry> ModelEntries(const uint8_t* data, size_t size) {
    std::vector<Entry> entries;
    for (size_t at = 0; size - at >= 20;) {
        const size_t length = data[at + 16] | data[at + 17] << 8;
        if (length < 20 || length > size - at) break;
        const std::string record(reinterpret_cast<const char*>(data + at + 19), length - 19);
        if (record.find('\0') == std::string::npos) break;
        entries.push_back({record.substr(0, record.find('\0')), data[at + 18]});
        at += length;
    }
    return entries;
}

// Well-formed UTF-8 as the Unicode standard's table gives it (no overlong forms, no
// surrogates, nothing past U+10FFFF).
bool IsUtf8(const std::string& s) {
    struct Form {
        unsigned lead, lastLead, second, lastSecond;
        size_t length;
    };
    static constexpr Form kForms[] = {
        {0x00, 0x7F, 0, 0, 1},       {0xC2, 0xDF, 0x80, 0xBF, 2}, {0xE0, 0xE0, 0xA0, 0xBF, 3},
        {0xE1, 0xEC, 0x80, 0xBF, 3}, {0xED, 0xED, 0x80, 0x9F, 3}, {0xEE, 0xEF, 0x80, 0xBF, 3},
        {0xF0, 0xF0, 0x90, 0xBF, 4}, {0xF1, 0xF3, 0x80, 0xBF, 4}, {0xF4, 0xF4, 0x80, 0x8F, 4}};
    const auto byte = [&](size_t i) { return i < s.size() ? unsigned{uint8_t(s[i])} : 0x100; };
    for (size_t i = 0; i < s.size();) {
        const Form* f = std::find_if(std::begin(kForms), std::end(kForms), [&](const Form& f) {
            return byte(i) >= f.lead && byte(i) <= f.lastLead &&
                   (f.length == 1 || (byte(i + 1) >= f.second && byte(i + 1) <= f.lastSecond));
        });
        if (f == std::end(kForms)) return false;
        for (size_t k = 2; k < f->length; ++k)
            if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return false;
        i += f->length;
    }
    return true;
}

bool HoldsLoneSurrogate(const Text& t) {
    for (size_t i = 0; i < t.size(); ++i) {
        if (IsHighSurrogate(t[i]) && i + 1 < t.size() && IsLowSurrogate(t[i + 1]))
            ++i;
        else if (IsHighSurrogate(t[i]) || IsLowSurrogate(t[i]))
            return true;
    }
    return false;
}

}  // namespace
}  // namespace tarnwick::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tarnwick;
    using namespace tarnwick::fuzz;
    std::vector<Entry> entries;
    const char* batch = reinterpret_cast<const char*>(data);
    for (size_t at = 0; at < size;) {
        const auto e = native::NextDirectoryEntry(batch, size, at);
        if (!e) break;
        entries.push_back({e->name, e->type});
    }
    FUZZ_CHECK(entries == ModelEntries(data, size));
    // The whole input as one name too, for names beyond what a batch's records make.
    entries.push_back({std::string(batch, size), 0});
    for (const Entry& e : entries) {
        const Text name = native::ToUtf16(e.name);
        FUZZ_CHECK(native::ToBytes(name) == e.name);
        FUZZ_CHECK(HoldsLoneSurrogate(name) == !IsUtf8(e.name));
    }
    return 0;
}

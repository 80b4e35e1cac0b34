// The records are made straight into the output's bytes, with no text in between: a
// listing of a million entries makes as many records, on the path the text takes as fast.
#include "cli/ListRecords.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace tarnwick {

char* RecordBuffer::Room(size_t bytes) {
    if (capacity_ - size_ < bytes) {
        const size_t capacity = std::max(capacity_ * 2, size_ + bytes);
        std::unique_ptr<char[]> grown(new char[capacity]);  // not zeroed: written before read
        if (size_ != 0) std::memcpy(grown.get(), data_.get(), size_);
        data_ = std::move(grown);
        capacity_ = capacity;
    }
    return data_.get() + size_;
}

RecordBuffer& RecordBuffer::operator+=(std::string_view bytes) {
    char* o = Room(bytes.size());
    if (!bytes.empty()) std::memcpy(o, bytes.data(), bytes.size());
    Commit(o + bytes.size());
    return *this;
}

namespace {

constexpr const char* kFields[] = {"path",       "name",   "level",  "type",      "size",
                                   "last_write", "hidden", "system", "read_only", "link"};

// Writes `c` (a whole character) as UTF-8 at `o`; gives the end.
char* PutUtf8(char32_t c, char* o) {
    if (c < 0x80) {
        *o++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *o++ = static_cast<char>(0xC0 | (c >> 6));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *o++ = static_cast<char>(0xE0 | (c >> 12));
        *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *o++ = static_cast<char>(0xF0 | (c >> 18));
        *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return o;
}

// The text as UTF-8, with `special` ASCII characters handed to `escape`. A lone surrogate
// (a name NTFS allows, or natively a byte that is not UTF-8) goes to `escape` too, since
// UTF-8 has no form for it. Room is made once for the longest outcome (6 bytes a unit).
template <typename Special, typename Escape>
void AppendEscaped(TextView s, RecordBuffer& out, Special special, Escape escape) {
    char* o = out.Room(s.size() * 6);
    for (size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c < 0x80 && !special(c)) {
            *o++ = static_cast<char>(c);
        } else if (IsHighSurrogate(c) && i + 1 < s.size() && IsLowSurrogate(s[i + 1])) {
            o = PutUtf8(0x10000 + ((char32_t{c} - 0xD800) << 10) + (s[++i] - 0xDC00), o);
        } else if (c < 0x80 || IsHighSurrogate(c) || IsLowSurrogate(c)) {
            o = escape(c, o);
        } else {
            o = PutUtf8(c, o);
        }
    }
    out.Commit(o);
}

char* PutHex4(char16_t c, char* o) {
    constexpr char kHex[] = "0123456789abcdef";
    for (int shift = 12; shift >= 0; shift -= 4) *o++ = kHex[(c >> shift) & 0xF];
    return o;
}

// The text escaped for the format, without the quotes around it. JSON keeps every unit: a
// lone surrogate as its \u escape, as JSON allows. CSV doubles a quote, and gives true when
// the field must be quoted (a comma, a quote, CR or LF: names may hold all but CR and LF,
// and natively those too); a lone surrogate shows as U+FFFD, the one loss: CSV has no
// escapes.
bool AppendEscaped(RecordFormat format, TextView s, RecordBuffer& out) {
    if (format == RecordFormat::Json) {
        AppendEscaped(
            s, out, [](char16_t c) { return c < 0x20 || c == u'"' || c == u'\\'; },
            [](char16_t c, char* o) {
                *o++ = '\\';
                if (c == u'"' || c == u'\\') {
                    *o++ = static_cast<char>(c);
                    return o;
                }
                *o++ = 'u';
                return PutHex4(c, o);
            });
        return false;
    }
    bool quoted = false;
    AppendEscaped(
        s, out, [](char16_t c) { return c == u'"' || c == u',' || c == u'\r' || c == u'\n'; },
        [&quoted](char16_t c, char* o) {
            if (c >= 0x80) return PutUtf8(0xFFFD, o);
            quoted = true;
            if (c == u'"') *o++ = '"';
            *o++ = static_cast<char>(c);
            return o;
        });
    return quoted;
}

// Days since 1970-01-01 to the civil date in the proleptic Gregorian calendar (as Windows
// counts, year 0 being 1 BC), by whole 400-year eras from 0000-03-01: any day a time_t's
// seconds make, the year's 12 digits included, without overflow.
struct Civil {
    int64_t year;
    unsigned month, day;
};
Civil FromDays(int64_t days) {
    constexpr int64_t kEraDays = 146097;
    const int64_t z = days + 719468;  // from 0000-03-01
    const int64_t era = (z >= 0 ? z : z - (kEraDays - 1)) / kEraDays;
    const auto doe = static_cast<unsigned>(z - era * kEraDays);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned day = doy - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int64_t>(yoe) + era * 400 + (month <= 2), month, day};
}

// As 2024-05-01T08:30:00.1234567Z. A year outside 0000 to 9999 takes ISO 8601's expanded
// form, a sign and at least five digits: NTFS times reach +30828, a host's any time_t.
void AppendTime(FileTime t, RecordBuffer& out) {
    constexpr int64_t kPerDay = 86400;
    int64_t days = t.seconds / kPerDay, second = t.seconds % kPerDay;
    if (second < 0) {  // floored; no multiplication, which the extremes would overflow
        second += kPerDay;
        --days;
    }
    const Civil d = FromDays(days);
    char text[48];
    char* o = text;
    const auto put = [&o](uint64_t v, int digits, char after) {
        for (int i = digits - 1; i >= 0; --i, v /= 10) o[i] = static_cast<char>('0' + v % 10);
        o += digits;
        *o++ = after;
    };
    const bool expanded = d.year < 0 || d.year > 9999;
    if (expanded) *o++ = d.year < 0 ? '-' : '+';
    const uint64_t year = d.year < 0 ? 0 - static_cast<uint64_t>(d.year) : d.year;
    int digits = 1;
    for (uint64_t v = year; v >= 10; v /= 10) ++digits;
    put(year, std::max(digits, expanded ? 5 : 4), '-');
    put(d.month, 2, '-');
    put(d.day, 2, 'T');
    put(static_cast<uint64_t>(second / 3600), 2, ':');
    put(static_cast<uint64_t>(second / 60 % 60), 2, ':');
    put(static_cast<uint64_t>(second % 60), 2, '.');
    put(t.ticks, 7, 'Z');
    out += std::string_view(text, static_cast<size_t>(o - text));
}

void AppendNumber(uint64_t v, RecordBuffer& out) {
    char text[20];
    char* o = std::end(text);
    do *--o = static_cast<char>('0' + v % 10);
    while (v /= 10);
    out += std::string_view(o, static_cast<size_t>(std::end(text) - o));
}

// One record's fields in order, each led by its separator (and in JSON its name).
class Fields {
  public:
    Fields(RecordFormat format, RecordBuffer& out)
        : json_(format == RecordFormat::Json), out_(out) {}
    // A text field made of two pieces already escaped.
    void Escaped(std::string_view first, std::string_view second, bool quoted) {
        Lead();
        if (json_ || quoted) out_ += '"';
        out_ += first;
        out_ += second;
        if (json_ || quoted) out_ += '"';
    }
    void Word(const char* value) {
        Lead();
        if (json_) out_ += '"';
        out_ += value;
        if (json_) out_ += '"';
    }
    void Number(uint64_t value) {
        Lead();
        AppendNumber(value, out_);
    }
    void Time(FileTime t) {
        Lead();
        if (json_) out_ += '"';
        AppendTime(t, out_);
        if (json_) out_ += '"';
    }
    void Flag(bool value) {
        Lead();
        out_ += value ? "true" : "false";
    }
    void Unknown() {
        Lead();
        if (json_) out_ += "null";
    }

  private:
    void Lead() {
        if (at_ != 0) out_ += ',';
        if (json_) {
            out_ += at_ == 0 ? "{\"" : "\"";
            out_ += kFields[at_];
            out_ += "\":";
        }
        ++at_;
    }
    bool json_;
    RecordBuffer& out_;
    size_t at_ = 0;
};

}  // namespace

std::string RecordWriter::Start() const {
    if (format_ == RecordFormat::Json) return {};
    std::string start = "\xEF\xBB\xBF";
    for (const char* field : kFields) {
        start += field;
        start += field == kFields[std::size(kFields) - 1] ? "\r\n" : ",";
    }
    return start;
}

// Entries come folder by folder: the folder's part of the path is escaped once for all of
// them, and each name once for both its fields.
void RecordWriter::Append(const ListedEntry& e, RecordBuffer& out) {
    const bool named = e.path.ends_with(e.name);
    const TextView folder = e.path.substr(0, e.path.size() - (named ? e.name.size() : 0));
    if (folder != folder_) {
        folder_.assign(folder);
        folderBytes_.Clear();
        folderQuoted_ = AppendEscaped(format_, folder, folderBytes_);
    }
    name_.Clear();
    const bool nameQuoted = AppendEscaped(format_, e.name, name_);
    Fields f(format_, out);
    f.Escaped(folderBytes_.View(), named ? name_.View() : "", folderQuoted_ || nameQuoted);
    f.Escaped({}, name_.View(), nameQuoted);
    f.Number(static_cast<uint64_t>(e.level));
    if (!e.details) {
        for (int i = 0; i < 7; ++i) f.Unknown();  // type to link
    } else {
        const uint32_t a = e.details->attributes;
        const bool isFolder = (a & attr::Folder) != 0;
        f.Word(isFolder ? "folder" : "file");
        isFolder ? f.Unknown() : f.Number(e.details->size);
        f.Time(e.details->lastWrite);
        for (uint32_t bit : {attr::Hidden, attr::System, attr::ReadOnly, attr::Link})
            f.Flag((a & bit) != 0);
    }
    out += format_ == RecordFormat::Json ? "}\n" : "\r\n";
}

}  // namespace tarnwick

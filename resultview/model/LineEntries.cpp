#include "resultview/model/LineEntries.h"

#include <algorithm>
#include <cstring>

namespace tarnwick {

void LineEntries::Records::Reserve(size_t more) {
    if (Gap() >= more) return;
    const size_t size = Size(), grown = std::max(size + more, size * 2 + 16);
    std::vector<uint32_t> data(grown);
    std::copy(data_.begin(), data_.begin() + static_cast<ptrdiff_t>(gapStart_), data.begin());
    const size_t after = data_.size() - gapEnd_;
    std::copy(data_.end() - static_cast<ptrdiff_t>(after), data_.end(),
              data.end() - static_cast<ptrdiff_t>(after));
    gapEnd_ = grown - after;
    data_ = std::move(data);
}

void LineEntries::Records::MoveGap(size_t at) noexcept {
    uint32_t* d = data_.data();
    if (at < gapStart_) {
        const size_t n = gapStart_ - at;
        std::memmove(d + gapEnd_ - n, d + at, n * sizeof *d);
        gapEnd_ -= n;
    } else if (at > gapStart_) {
        const size_t n = at - gapStart_;
        std::memmove(d + gapStart_, d + gapEnd_, n * sizeof *d);
        gapEnd_ += n;
    }
    gapStart_ = at;
}

void LineEntries::Records::Replace(size_t at, size_t count, size_t n, uint32_t front,
                                   uint32_t back) noexcept {
    MoveGap(at);
    gapEnd_ += count;
    std::fill_n(data_.begin() + static_cast<ptrdiff_t>(gapStart_), n, 0u);
    if (n > 1) data_[gapStart_] = front;
    data_[gapStart_ + n - 1] = back;
    gapStart_ += n;
}

void LineEntries::Records::Reset(size_t n) {
    std::vector<uint32_t> data(n);
    data_ = std::move(data);
    gapStart_ = gapEnd_ = n;
}

void LineEntries::Begin(TextView root, bool bareNames) {
    Text shown(root);
    if (shown.empty() || shown.back() != kSeparator) shown += kSeparator;  // as the walk does
    root_ = std::move(shown);
    bareNames_ = bareNames;
    entries_.clear();
    open_.clear();
    realNames_.clear();
    records_.Reset(records_.Size());  // the lines there are no entries of this walk
    ++version_;
}

void LineEntries::SetText(TextStore& text, TextView with) {
    Records fresh(static_cast<size_t>(std::count(with.begin(), with.end(), u'\n')) + 1);
    text.SetText(with);
    records_ = std::move(fresh);
    ++version_;
}

void LineEntries::ReplaceSelection(TextStore& text, TextView with) {
    Replace(text, with, 0);
}

void LineEntries::ReplaceSelection(TextStore& text, TextView line, int32_t level,
                                   TextView realName) {
    const auto at = static_cast<size_t>(std::max(level, 1)) - 1;
    const uint32_t id = static_cast<uint32_t>(entries_.size()) + 1;
    // Room first, so that nothing below can fail once the text is changed; grown by
    // doubling, as push_back would, or every line would copy all the entries before it.
    if (open_.size() == open_.capacity()) open_.reserve(open_.size() * 2 + 8);
    if (entries_.size() == entries_.capacity()) entries_.reserve(entries_.size() * 2 + 64);
    if (!realName.empty()) realNames_.emplace(id, realName);
    try {
        Replace(text, line, at <= open_.size() ? id : 0);  // a level skipped: no parent known
    } catch (...) {
        realNames_.erase(id);
        throw;
    }
    entries_.push_back((at == 0 || at > open_.size() ? 0 : open_[at - 1]) |
                       (realName.empty() ? 0 : kRealName));
    open_.resize(std::min(at, open_.size()));
    open_.push_back(id);
}

// The edit's lines: the one through its start is the entry's where the entry's line goes
// in at a line start; the one through its end stays what it was where nothing is added to
// it; every other line the edit made or changed is none.
void LineEntries::Replace(TextStore& text, TextView with, uint32_t id) {
    if (records_.Size() != text.LineCount())
        records_.Reset(text.LineCount());  // set behind our back
    const size_t s = text.SelStart(), e = text.SelEnd();
    const bool atEnd = s == e && s == text.Length();  // a walk's line, as a rule
    const size_t first = atEnd ? text.LineCount() - 1 : text.LineOf(s);
    const size_t last = atEnd ? first : text.LineOf(e);
    const bool startsLine = atEnd ? s == 0 || text.At(s - 1) == u'\n' : s == text.LineStart(first);
    const bool endsAtLine = atEnd ? startsLine : e == text.LineStart(last);
    const size_t feeds = static_cast<size_t>(std::count(with.begin(), with.end(), u'\n'));
    const bool lastKept =
        endsAtLine && (feeds > 0 ? with.back() == u'\n' : with.empty() && startsLine);
    const uint32_t front = id != 0 && startsLine && feeds > 0 ? id : 0;
    const uint32_t back = lastKept ? records_[last] : 0;
    records_.Reserve(feeds + 1);
    text.ReplaceSelection(with);
    records_.Replace(first, last - first + 1, feeds + 1, front, back);
    ++version_;
}

// Where the lines are as the walk added them, entry n is on line n - 1; otherwise the
// lines are looked through once, until the next edit.
std::optional<size_t> LineEntries::LineOfEntry(uint32_t id) const {
    if (id - 1 < records_.Size() && records_[id - 1] == id) return id - 1;
    if (mapped_ != version_) {
        lineOf_.assign(entries_.size(), 0);
        for (size_t line = 0; line < records_.Size(); ++line)
            if (const uint32_t r = records_[line]) lineOf_[r - 1] = static_cast<uint32_t>(line + 1);
        mapped_ = version_;
    }
    if (id == 0 || id > lineOf_.size() || lineOf_[id - 1] == 0) return std::nullopt;
    return lineOf_[id - 1] - 1;
}

// Builds paths one after another, keeping the last one's ancestors: lines in walk order
// build each folder's path once.
class LineEntries::Builder {
  public:
    Builder(const LineEntries& entries, const TextStore& text) : entries_(entries), text_(text) {}

    const Text* PathOf(uint32_t id) {
        up_.clear();
        for (uint32_t at = id; at != 0; at = entries_.Parent(at)) up_.push_back(at);
        std::reverse(up_.begin(), up_.end());
        size_t same = 0;
        while (same < std::min(up_.size(), chain_.size()) && up_[same] == chain_[same]) ++same;
        chain_.resize(same);
        ends_.resize(same);
        if (same == 0) {
            path_ = entries_.root_;
        } else {
            path_.resize(ends_.back());
        }
        for (size_t level = same; level < up_.size(); ++level) {
            if (level > 0) path_ += kSeparator;
            if (!AppendName(up_[level], level)) return nullptr;
            chain_.push_back(up_[level]);
            ends_.push_back(path_.size());
        }
        return &path_;
    }

  private:
    // The name as the walk gave it: the line after its indent, or after its folder's path.
    bool AppendName(uint32_t id, size_t level) {
        if (entries_.entries_[id - 1] & kRealName) {
            path_ += entries_.realNames_.at(id);
            return true;
        }
        const std::optional<size_t> line = entries_.LineOfEntry(id);
        if (!line || *line >= text_.LineCount()) return false;
        const size_t skip = entries_.bareNames_ ? level * 4 : path_.size();
        const size_t length = text_.LineLength(*line);
        if (length <= skip) return false;
        path_ += text_.Substr(text_.LineStart(*line) + skip, length - skip);
        return true;
    }

    const LineEntries& entries_;
    const TextStore& text_;
    std::vector<uint32_t> up_, chain_;
    std::vector<size_t> ends_;
    Text path_;
};

std::optional<Text> LineEntries::PathOf(const TextStore& text, size_t line) const {
    const uint32_t id = line < records_.Size() ? records_[line] : 0;
    if (id == 0) return std::nullopt;
    Builder builder(*this, text);
    const Text* path = builder.PathOf(id);
    if (!path) return std::nullopt;
    return *path;
}

LineEntries::Lines LineEntries::Selected(const TextStore& text) {
    const size_t from = text.SelStart(), to = text.SelEnd();
    const size_t first = text.LineOf(from), last = text.LineOf(to);
    if (to > from && last > first && to == text.LineStart(last)) return {first, last - 1};
    return {first, last};
}

Text LineEntries::PathsOf(const TextStore& text, Lines lines) const {
    Builder builder(*this, text);
    Text paths;
    for (size_t line = lines.first; line <= lines.last && line < records_.Size(); ++line) {
        const uint32_t id = records_[line];
        const Text* path = id ? builder.PathOf(id) : nullptr;
        if (!path) continue;
        if (!paths.empty()) paths += u"\r\n";
        paths += *path;
    }
    return paths;
}

std::optional<Text> LineEntries::FirstPathOf(const TextStore& text, Lines lines) const {
    for (size_t line = lines.first; line <= lines.last && line < records_.Size(); ++line)
        if (auto path = PathOf(text, line)) return path;
    return std::nullopt;
}

}  // namespace tarnwick

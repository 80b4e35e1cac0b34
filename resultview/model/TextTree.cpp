#include "resultview/model/TextTree.h"

#include <cstring>
#include <new>
#include <utility>

#include "resultview/model/TextBoundaries.h"

namespace tarnwick {
namespace {

thread_local long allocationsBeforeFailure = -1;

void CountAllocation() {
    if (allocationsBeforeFailure < 0) return;
    if (allocationsBeforeFailure-- == 0) throw std::bad_alloc();
}

size_t CountLineFeeds(const char16_t* from, const char16_t* to) {
    return static_cast<size_t>(std::count(from, to, u'\n'));
}

size_t CountLineFeeds(TextView text) {
    return CountLineFeeds(text.data(), text.data() + text.size());
}

// The offset of the k-th LF (from 1) of the `total` in a leaf, scanned for from the nearer
// end: a walk's lines mostly ask for the last ones.
size_t NthLineFeed(const char16_t* text, size_t size, size_t total, size_t k) {
    if (2 * k <= total) {
        for (size_t i = 0; i < size; ++i)
            if (text[i] == u'\n' && --k == 0) return i;
    }
    k = total - k + 1;
    for (size_t i = size; i-- > 0;)
        if (text[i] == u'\n' && --k == 0) return i;
    return size;
}

// Each code unit's part in the starts, looked up rather than worked out, as every character
// inserted passes through here: its kind in the low bits, and whether it is a CR, an LF, or
// a pair's first or second half. The second of a pair that makes one character has the
// first's bit two places up.
constexpr unsigned kKindMask = 3, kCr = 4, kHigh = 8, kLf = 16, kLow = 32;
static_assert(static_cast<unsigned>(CharKind::Blank) == 0 &&
              static_cast<unsigned>(CharKind::Letter) <= kKindMask);

struct Classes {
    unsigned char of[0x10000];
    Classes() {
        for (size_t i = 0; i < 0x10000; ++i) {
            const auto c = static_cast<char16_t>(i);
            of[i] = static_cast<unsigned char>(static_cast<unsigned>(KindOf(c)) |
                                               (c == u'\r' ? kCr : 0u) | (c == u'\n' ? kLf : 0u) |
                                               (IsHighSurrogate(c) ? kHigh : 0u) |
                                               (IsLowSurrogate(c) ? kLow : 0u));
        }
    }
};
const Classes classes;

// Whether a code unit of class `at` after one of class `before` starts a character, a word.
inline bool JoinsBefore(unsigned before, unsigned at) {
    return ((before << 2) & at & (kLf | kLow)) != 0;
}
inline bool StartsWordAfter(unsigned before, unsigned at) {
    return ((before & kLf) != 0) |
           (((at & kKindMask) != 0) & ((at & kKindMask) != (before & kKindMask)));
}

}  // namespace

TextTree::Counts& TextTree::Counts::operator+=(const Counts& other) {
    for (size_t k = 0; k < kKinds; ++k) of[k] += other.of[k];
    return *this;
}

TextTree::Counts& TextTree::Counts::operator-=(const Counts& other) {
    for (size_t k = 0; k < kKinds; ++k) of[k] -= other.of[k];
    return *this;
}

// A short insertion splits at most one leaf in two and adds one more for its tail.
constexpr size_t kKeepLeaves = 2;

TextTree::TextTree(Geometry geometry)
    : leafChars_(std::clamp<size_t>(geometry.leafChars, 2, kLeafChars)),
      fanOut_(std::clamp<size_t>(geometry.fanOut, 3, kFanOut)) {
    spareLeaves_.reserve(kKeepLeaves + 2);
    spareInners_.reserve(8);
    Leaf* leaf = NewLeaf();
    try {
        root_ = NewInner();
    } catch (...) {
        delete leaf;
        throw;
    }
    root_->n = 1;
    root_->child[0] = leaf;
    SetCounts(root_, 0, {});
}

// Full leaves, then each level grouping the one below: linear, with no split on the way.
TextTree::TextTree(TextView text, Geometry geometry) : TextTree(geometry) {
    if (text.empty()) return;
    const size_t leaves = (text.size() + leafChars_ - 1) / leafChars_;
    size_t inners = 0;
    for (size_t level = leaves; level > 1 || inners == 0;) {
        level = (level + fanOut_ - 1) / fanOut_;
        inners += level;
    }
    Reserve(leaves, inners);  // if this throws, the destructor frees what it made

    const Run<Leaf> run = TakeLeaves(leaves);
    Leaf* prev = nullptr;
    Counts total{};
    for (size_t i = 0; i < leaves; ++i) {
        Leaf* leaf = run.nodes[i];
        const TextView part = text.substr(i * leafChars_, leafChars_);
        std::memcpy(leaf->text, part.data(), part.size() * sizeof(char16_t));
        leaf->size = part.size();
        leaf->lineFeeds = CountLineFeeds(part);
        leaf->prev = prev;
        leaf->next = nullptr;
        if (prev) prev->next = leaf;
        const Counts starts = StartsIn(leaf, 0, leaf->size);
        leaf->characterStarts = starts[kCharacterStarts];
        leaf->wordStarts = starts[kWordStarts];
        total += TotalOf(leaf);
        prev = leaf;
    }
    const auto group = [this](auto below) {
        const Run<Inner> up = TakeInners((below.n + fanOut_ - 1) / fanOut_);
        for (size_t d = 0, i = 0; d < up.n; ++d) {
            Inner* node = up.nodes[d];
            node->n = Share(below.n, up.n, d, true);
            for (size_t slot = 0; slot < node->n; ++slot, ++i) {
                node->child[slot] = below.nodes[i];
                SetCounts(node, slot, TotalOf(below.nodes[i]));
            }
        }
        return up;
    };
    Run<Inner> level = group(run);
    size_t height = 1;
    for (; level.n > 1; ++height) level = group(level);

    Inner* const empty = root_;
    root_ = level.nodes[0];
    height_ = height;
    total_ = total;
    Settle();
    Recycle(static_cast<Leaf*>(empty->child[0]));
    Recycle(empty);
}

TextTree::TextTree(TextTree&& other) noexcept
    : leafChars_(other.leafChars_),
      fanOut_(other.fanOut_),
      root_(std::exchange(other.root_, nullptr)),
      height_(other.height_),
      total_(std::exchange(other.total_, {})),
      spareLeaves_(std::move(other.spareLeaves_)),
      spareInners_(std::move(other.spareInners_)) {
    other.spareLeaves_.clear();
    other.spareInners_.clear();
}

// A swap: the old tree goes with `other`.
TextTree& TextTree::operator=(TextTree&& other) noexcept {
    std::swap(leafChars_, other.leafChars_);
    std::swap(fanOut_, other.fanOut_);
    std::swap(root_, other.root_);
    std::swap(height_, other.height_);
    std::swap(total_, other.total_);
    spareLeaves_.swap(other.spareLeaves_);
    spareInners_.swap(other.spareInners_);
    return *this;
}

TextTree::~TextTree() {
    FreeAll();
}

void TextTree::FailAllocationAfter(long n) {
    allocationsBeforeFailure = n;
}

// ---- Finding ----

// Goes down by one of the counts (the target-th of its kind), keeping the path. The last
// child is tried first and taken without a scan, so that work at the end of the text never
// scans a node.
TextTree::Spot TextTree::Descend(size_t target, Kind kind, bool preferLeft) const {
    ++walks_;
    Spot at;
    at.before = {};
    Counts total = total_;  // of the node searched
    Node* node = root_;
    for (size_t level = 0; level < height_; ++level) {
        Inner* inner = static_cast<Inner*>(node);
        const size_t* keys = inner->count[kind];
        const size_t last = inner->n - 1;
        const size_t ahead = total[kind] - keys[last];
        size_t i = 0;
        if (preferLeft ? target > ahead : target >= ahead) {
            i = last;
            target -= ahead;
            at.before += total;
            at.before -= CountsAt(inner, last);
        } else {
            for (; preferLeft ? target > keys[i] : target >= keys[i]; ++i) {
                target -= keys[i];
                at.before += CountsAt(inner, i);
            }
        }
        at.path[level] = {inner, i};
        total = CountsAt(inner, i);
        node = inner->child[i];
    }
    at.leaf = static_cast<Leaf*>(node);
    at.offset = target;
    return at;
}

// At a leaf boundary `preferLeft` picks the end of the leaf before, not the start of the next.
TextTree::Spot TextTree::Find(size_t pos, bool preferLeft) const {
    return Descend(std::min(pos, Length()), kChars, preferLeft);
}

TextTree::Spot TextTree::FindLineFeed(size_t k) const {
    Spot at = Descend(k, kLineFeeds, true);
    at.offset = NthLineFeed(at.leaf->text, at.leaf->size, at.leaf->lineFeeds, at.offset);
    return at;
}

TextTree::Counts TextTree::TotalOf(const Inner* node) {
    Counts total{};
    for (size_t i = 0; i < node->n; ++i) total += CountsAt(node, i);
    return total;
}

TextTree::Counts TextTree::CountsAt(const Inner* node, size_t i) {
    Counts counts;
    for (size_t k = 0; k < kKinds; ++k) counts[k] = node->count[k][i];
    return counts;
}

void TextTree::SetCounts(Inner* node, size_t i, const Counts& counts) {
    for (size_t k = 0; k < kKinds; ++k) node->count[k][i] = counts[k];
}

// The character and word starts at the leaf's offsets [from, to). The first position of
// the text starts neither; any other one is judged with the code unit before it, which may
// end the leaf before.
TextTree::Counts TextTree::StartsIn(const Leaf* leaf, size_t from, size_t to) {
    Counts starts{};
    if (from >= to) return starts;
    char16_t before = 0;
    if (from > 0) {
        before = leaf->text[from - 1];
    } else if (leaf->prev) {
        before = leaf->prev->text[leaf->prev->size - 1];
    } else {
        before = leaf->text[from++];
    }
    size_t joins = 0, words = 0;
    unsigned previous = classes.of[before];
    for (size_t i = from; i < to; ++i) {
        const unsigned at = classes.of[leaf->text[i]];
        joins += JoinsBefore(previous, at);
        words += StartsWordAfter(previous, at);
        previous = at;
    }
    const size_t characters = to - from - joins;
    starts[kCharacterStarts] = characters;
    starts[kWordStarts] = words;
    return starts;
}

// The offset of the k-th start of its kind (from 1) in a leaf.
size_t TextTree::NthStart(const Leaf* leaf, Kind kind, size_t k) {
    const bool first = !leaf->prev;  // the text's first position starts nothing
    unsigned previous = classes.of[first ? leaf->text[0] : leaf->prev->text[leaf->prev->size - 1]];
    for (size_t i = first; i < leaf->size; ++i) {
        const unsigned at = classes.of[leaf->text[i]];
        if ((kind == kCharacterStarts ? !JoinsBefore(previous, at)
                                      : StartsWordAfter(previous, at)) &&
            --k == 0)
            return i;
        previous = at;
    }
    return leaf->size;
}

size_t TextTree::CountBefore(Kind kind, size_t pos) const {
    if (kind == kChars) return std::min(pos, Length());
    if (kind == kLineFeeds) return LineFeedsBefore(pos);
    const Spot at = Find(pos, false);
    const Leaf* leaf = at.leaf;
    if (2 * at.offset <= leaf->size) return at.before[kind] + StartsIn(leaf, 0, at.offset)[kind];
    return at.before[kind] + TotalOf(leaf)[kind] - StartsIn(leaf, at.offset, leaf->size)[kind];
}

size_t TextTree::FindNth(Kind kind, size_t k) const {
    if (kind == kChars) return k - 1;
    if (kind == kLineFeeds) {
        const Spot lf = FindLineFeed(k);
        return lf.before[kChars] + lf.offset;
    }
    const Spot at = Descend(k, kind, true);
    return at.before[kChars] + NthStart(at.leaf, kind, at.offset);
}

// Whether a CR stands right before offset, which may be the start of the leaf.
bool TextTree::CrBefore(const Leaf* leaf, size_t offset) {
    if (offset > 0) return leaf->text[offset - 1] == u'\r';
    return leaf->prev && leaf->prev->text[leaf->prev->size - 1] == u'\r';
}

char16_t TextTree::At(size_t pos) const {
    const Spot at = Find(pos, false);
    return at.leaf->text[at.offset];
}

size_t TextTree::LineFeedsBefore(size_t pos) const {
    const Spot at = Find(pos, false);
    const Leaf* leaf = at.leaf;
    const char16_t* text = leaf->text;
    if (2 * at.offset <= leaf->size)
        return at.before[kLineFeeds] + CountLineFeeds(text, text + at.offset);
    return at.before[kLineFeeds] + leaf->lineFeeds -
           CountLineFeeds(text + at.offset, text + leaf->size);
}

size_t TextTree::LineStart(size_t line) const {
    if (line == 0) return 0;
    const Spot lf = FindLineFeed(std::min(line, LineFeeds()));
    return lf.before[kChars] + lf.offset + 1;
}

size_t TextTree::LineEnd(size_t line) const {
    if (line >= LineFeeds()) return Length();
    const Spot lf = FindLineFeed(line + 1);
    return lf.before[kChars] + lf.offset - CrBefore(lf.leaf, lf.offset);
}

// The start of the line holding a spot, looked for in the spot's own leaf first: a line is
// most often shorter than a leaf.
size_t TextTree::LineStartBefore(const Spot& at) const {
    const char16_t* text = at.leaf->text;
    const char16_t* start = text + at.offset;
    while (start > text && start[-1] != u'\n') --start;
    if (start > text) return at.before[kChars] + static_cast<size_t>(start - text);
    return LineStart(at.before[kLineFeeds]);
}

size_t TextTree::Column(size_t pos) const {
    const Spot at = Find(pos, true);
    return at.before[kChars] + at.offset - LineStartBefore(at);
}

TextTree::Span TextTree::LineThrough(size_t pos) const {
    const Spot at = Find(pos, true);
    const Leaf* leaf = at.leaf;
    const char16_t* lf = std::find(leaf->text + at.offset, leaf->text + leaf->size, u'\n');
    const size_t offset = static_cast<size_t>(lf - leaf->text);
    const size_t end = offset < leaf->size ? at.before[kChars] + offset - CrBefore(leaf, offset)
                                           : LineEnd(at.before[kLineFeeds] + leaf->lineFeeds);
    return {LineStartBefore(at), end};
}

// ---- Editing ----

size_t TextTree::Insert(size_t pos, TextView text, size_t lineFeeds) {
    Spot at = Find(pos, true);
    const size_t column = at.before[kChars] + at.offset - LineStartBefore(at);
    if (text.empty()) return column;
    if (at.leaf->size + text.size() <= leafChars_) {
        InsertInLeaf(at, text, lineFeeds);
    } else {
        SplitLeaf(at, text, lineFeeds);
    }
    return column;
}

// The start counted at the insertion point gives way to those at each new character and at
// the one after them, which begins the next leaf when the text goes at this one's end.
void TextTree::InsertInLeaf(Spot& at, TextView text, size_t lineFeeds) noexcept {
    Leaf* leaf = at.leaf;
    const size_t pos = at.before[kChars] + at.offset;
    const bool atEnd = at.offset == leaf->size;
    if (atEnd) Recount(pos, pos + 1, false);
    const Counts gone = atEnd ? Counts{} : StartsIn(leaf, at.offset, at.offset + 1);
    char16_t* p = leaf->text + at.offset;
    std::memmove(p + text.size(), p, (leaf->size - at.offset) * sizeof(char16_t));
    std::memcpy(p, text.data(), text.size() * sizeof(char16_t));
    leaf->size += text.size();
    leaf->lineFeeds += lineFeeds;
    Counts change = StartsIn(leaf, at.offset, at.offset + text.size() + !atEnd);
    change -= gone;  // may wrap below zero: the sums come out right
    leaf->characterStarts += change[kCharacterStarts];
    leaf->wordStarts += change[kWordStarts];
    change[kChars] = text.size();
    change[kLineFeeds] = lineFeeds;
    Add(at, change);
    if (atEnd) Recount(pos + text.size(), pos + text.size() + 1, true);
}

// The leaf's head and the new text fill leaves from the left, so the last of them has room
// right after the text, where a walk's next insertion goes; the leaf's tail gets a leaf of
// its own. At the very start the leaf stays whole and the text goes in leaves before it.
void TextTree::SplitLeaf(Spot& at, TextView text, size_t lineFeeds) {
    Leaf* leaf = at.leaf;
    const size_t offset = at.offset, tail = leaf->size - offset;
    const size_t pos = at.before[kChars] + offset;
    const size_t caret = pos + text.size();
    const bool before = offset == 0 && leaf->size > 0;
    const size_t kept = before ? 0 : std::min(leafChars_ - offset, text.size());
    const size_t chunks = (text.size() - kept + leafChars_ - 1) / leafChars_;
    const size_t fresh = chunks + (!before && tail > 0);
    Reserve(fresh, InnersFor(fresh));  // the last thing that can fail

    // The starts from pos on that change leaves, and the one after them, are counted afresh
    // once the text is in.
    const size_t moved = before ? 0 : tail;
    Recount(pos, pos + moved + 1, false);
    const Run<Leaf> run = TakeLeaves(fresh);
    if (!before && tail > 0) {
        Leaf* last = run.nodes[fresh - 1];
        std::memcpy(last->text, leaf->text + offset, tail * sizeof(char16_t));
        last->size = tail;
        last->lineFeeds = CountLineFeeds(last->text, last->text + tail);
        last->characterStarts = last->wordStarts = 0;
        leaf->lineFeeds -= last->lineFeeds;
    }
    if (!before) {
        std::memcpy(leaf->text + offset, text.data(), kept * sizeof(char16_t));
        leaf->size = offset + kept;
        leaf->lineFeeds += CountLineFeeds(text.substr(0, kept));
    }
    TextView rest = text.substr(kept);
    for (size_t i = 0; i < chunks; ++i) {
        Leaf* chunk = run.nodes[i];
        chunk->size = std::min(leafChars_, rest.size());
        std::memcpy(chunk->text, rest.data(), chunk->size * sizeof(char16_t));
        chunk->lineFeeds = CountLineFeeds(rest.substr(0, chunk->size));
        chunk->characterStarts = chunk->wordStarts = 0;
        rest.remove_prefix(chunk->size);
    }
    Leaf* prev = before ? leaf->prev : leaf;
    Leaf* const next = before ? leaf : leaf->next;
    for (size_t i = 0; i < fresh; prev = run.nodes[i++]) {
        run.nodes[i]->prev = prev;
        if (prev) prev->next = run.nodes[i];
    }
    prev->next = next;
    if (next) next->prev = prev;

    // The path counts the whole insertion; the leaf's own entry then counts what it kept.
    Add(at, {{text.size(), lineFeeds, 0, 0}});
    const Step parent = at.path[height_ - 1];
    SetCounts(parent.node, parent.index, TotalOf(leaf));
    InsertChildren(at, height_ - 1, parent.index + !before, run);
    Settle();
    MergeAround(caret, true);
    MergeAround(caret, false);
    Recount(pos, caret + moved + 1, true);
}

void TextTree::Add(const Spot& at, const Counts& counts) noexcept {
    for (size_t level = 0; level < height_; ++level)
        for (size_t k = 0; k < kKinds; ++k)
            at.path[level].node->count[k][at.path[level].index] += counts[k];
    total_ += counts;
}

void TextTree::Subtract(const Spot& at, const Counts& counts) noexcept {
    for (size_t level = 0; level < height_; ++level)
        for (size_t k = 0; k < kKinds; ++k)
            at.path[level].node->count[k][at.path[level].index] -= counts[k];
    total_ -= counts;
}

// Adds or takes away character and word starts of the spot's leaf, there and on its path.
void TextTree::ChangeStarts(const Spot& at, const Counts& starts, bool add) noexcept {
    Leaf* leaf = at.leaf;
    if (add) {
        leaf->characterStarts += starts[kCharacterStarts];
        leaf->wordStarts += starts[kWordStarts];
        Add(at, starts);
    } else {
        leaf->characterStarts -= starts[kCharacterStarts];
        leaf->wordStarts -= starts[kWordStarts];
        Subtract(at, starts);
    }
}

// Counts (or takes away) the starts at positions [from, to), each in the leaf holding it.
// An edit takes away those it will change before it changes the text, and counts them
// again after: the leaf holding a start may change, and the starts of a leaf's first
// position depend on the leaf before. A whole leaf taken away gives what it holds unread.
void TextTree::Recount(size_t from, size_t to, bool add) noexcept {
    from = std::max<size_t>(from, 1);
    to = std::min(to, Length());
    while (from < to) {
        const Spot at = Find(from, false);
        const Leaf* leaf = at.leaf;
        const size_t until = std::min(leaf->size, at.offset + (to - from));
        const bool whole = !add && at.offset == 0 && until == leaf->size;
        Counts starts = whole ? TotalOf(leaf) : StartsIn(leaf, at.offset, until);
        starts[kChars] = starts[kLineFeeds] = 0;
        ChangeStarts(at, starts, add);
        from += until - at.offset;
    }
}

// Puts `run` among the children of the node at `level` of the path. The path above already
// counts the run; a node that overflows shares its children with new siblings, which go
// in the same way one level up.
template <class T>
void TextTree::InsertChildren(Spot& at, size_t level, size_t index, Run<T> run) noexcept {
    Inner* node = at.path[level].node;
    const Run<Inner> siblings = Spread(node, index, run);
    if (siblings.n == 0) return;
    if (level == 0) return GrowRoot(siblings);
    const Step up = at.path[level - 1];
    SetCounts(up.node, up.index, TotalOf(node));
    InsertChildren(at, level - 1, up.index + 1, siblings);
}

// Returns the new siblings, if the children did not fit. They share evenly, except when the
// run goes at the end: then each is filled in turn, so a text growing at its end keeps its
// nodes full.
template <class T>
TextTree::Run<TextTree::Inner> TextTree::Spread(Inner* node, size_t index, Run<T> run) noexcept {
    const size_t total = node->n + run.n;
    const size_t nodes = (total + fanOut_ - 1) / fanOut_;
    const bool atEnd = index == node->n;
    const Run<Inner> siblings = TakeInners(nodes - 1);
    // Child k of the node's children with the run put in at `index`.
    const auto put = [&](Inner* to, size_t slot, size_t k) {
        if (k >= index && k < index + run.n) {
            T* child = run.nodes[k - index];
            to->child[slot] = child;
            SetCounts(to, slot, TotalOf(child));
            return;
        }
        const size_t from = k < index ? k : k - run.n;
        to->child[slot] = node->child[from];
        SetCounts(to, slot, CountsAt(node, from));
    };
    // The siblings first, while the node still holds its children; then the node, from its
    // end down, so each child moves before its place is written over.
    size_t end = total;
    for (size_t d = nodes; d-- > 1;) {
        const size_t size = Share(total, nodes, d, atEnd);
        Inner* to = siblings.nodes[d - 1];
        to->n = size;
        for (size_t slot = 0; slot < size; ++slot) put(to, slot, end - size + slot);
        end -= size;
    }
    for (size_t k = end; k-- > index;) put(node, k, k);
    node->n = end;
    return siblings;
}

// The children node d of `nodes` gets of `total`: an even share, or (`fill`) a full node
// but for the last two, which share what is left. Either way each is at least half full.
size_t TextTree::Share(size_t total, size_t nodes, size_t d, bool fill) const {
    if (!fill) return total / nodes + (d < total % nodes);
    if (d + 2 < nodes) return fanOut_;
    if (nodes == 1) return total;
    const size_t left = total - (nodes - 2) * fanOut_;  // more than one node holds
    const size_t last = std::max(left - fanOut_, (fanOut_ + 1) / 2);
    return d + 1 == nodes ? last : left - last;
}

void TextTree::GrowRoot(Run<Inner> siblings) noexcept {
    while (siblings.n > 0) {
        Inner* top = TakeInners(1).nodes[0];
        top->n = 1;
        top->child[0] = root_;
        SetCounts(top, 0, TotalOf(root_));
        root_ = top;
        ++height_;
        siblings = Spread(top, 1, siblings);
    }
}

void TextTree::Erase(size_t pos, size_t count) noexcept {
    pos = std::min(pos, Length());
    count = std::min(count, Length() - pos);
    if (count == 0) return;
    Recount(pos, pos + count + 1, false);  // what goes, and the start after it
    for (size_t left = count; left > 0;) {
        Spot at = Find(pos, false);
        Leaf* leaf = at.leaf;
        const size_t n = std::min(left, leaf->size - at.offset);
        char16_t* p = leaf->text + at.offset;
        const size_t lineFeeds = CountLineFeeds(p, p + n);
        Subtract(at, {{n, lineFeeds, 0, 0}});
        left -= n;
        if (n == leaf->size && (leaf->prev || leaf->next)) {
            if (leaf->prev) leaf->prev->next = leaf->next;
            if (leaf->next) leaf->next->prev = leaf->prev;
            RemoveChild(at, height_ - 1);
            Recycle(leaf);
            continue;
        }
        std::memmove(p, p + n, (leaf->size - at.offset - n) * sizeof(char16_t));
        leaf->size -= n;
        leaf->lineFeeds -= lineFeeds;
    }
    // The leaves that shrank are the ones on either side of pos.
    MergeAround(pos, true);
    MergeAround(pos, false);
    Settle();
    Recount(pos, pos + 1, true);
}

// Removes the child the path takes at `level`, whose counts are already zero on the path.
// A node left under half full takes a child from a sibling, or merges with it when the two
// fit in one: every node but the root stays at least half full, so the tree stays shallow.
void TextTree::RemoveChild(Spot& at, size_t level) noexcept {
    Inner* node = at.path[level].node;
    EraseSlot(node, at.path[level].index);
    if (level == 0) {
        while (height_ > 1 && root_->n == 1) {
            Inner* only = static_cast<Inner*>(root_->child[0]);
            Recycle(root_);
            root_ = only;
            --height_;
        }
        return;
    }
    if (node->n >= (fanOut_ + 1) / 2) return;
    Step& up = at.path[level - 1];
    Inner* parent = up.node;
    const size_t j = up.index + 1 < parent->n ? up.index : up.index - 1;  // a pair with a sibling
    Inner* left = static_cast<Inner*>(parent->child[j]);
    Inner* right = static_cast<Inner*>(parent->child[j + 1]);
    if (left->n + right->n > fanOut_) return Borrow(parent, j, node == left);
    const size_t n = right->n;
    std::copy(right->child, right->child + n, left->child + left->n);
    for (size_t k = 0; k < kKinds; ++k) {
        std::copy(right->count[k], right->count[k] + n, left->count[k] + left->n);
        parent->count[k][j] += std::exchange(parent->count[k][j + 1], 0);
    }
    left->n += n;
    right->n = 0;
    Recycle(right);
    up.index = j + 1;
    RemoveChild(at, level - 1);
}

// Moves one child between the parent's children j and j+1, toward j if `toLeft`.
void TextTree::Borrow(Inner* parent, size_t j, bool toLeft) noexcept {
    Inner* left = static_cast<Inner*>(parent->child[j]);
    Inner* right = static_cast<Inner*>(parent->child[j + 1]);
    Inner* from = toLeft ? right : left;
    const size_t i = toLeft ? 0 : left->n - 1;
    const Counts moved = CountsAt(from, i);
    if (toLeft) {
        PutSlot(left, left->n, from->child[i], moved);
        EraseSlot(right, 0);
    } else {
        PutSlot(right, 0, from->child[i], moved);
        --left->n;
    }
    const size_t to = toLeft ? j : j + 1;
    for (size_t k = 0; k < kKinds; ++k) {
        parent->count[k][to] += moved[k];
        parent->count[k][2 * j + 1 - to] -= moved[k];
    }
}

void TextTree::PutSlot(Inner* node, size_t i, Node* child, Counts counts) noexcept {
    std::copy_backward(node->child + i, node->child + node->n, node->child + node->n + 1);
    for (size_t k = 0; k < kKinds; ++k)
        std::copy_backward(node->count[k] + i, node->count[k] + node->n,
                           node->count[k] + node->n + 1);
    node->child[i] = child;
    SetCounts(node, i, counts);
    ++node->n;
}

void TextTree::EraseSlot(Inner* node, size_t i) noexcept {
    std::copy(node->child + i + 1, node->child + node->n, node->child + i);
    for (size_t k = 0; k < kKinds; ++k)
        std::copy(node->count[k] + i + 1, node->count[k] + node->n, node->count[k] + i);
    --node->n;
}

// Merges the leaf at `pos` with a neighbour while the two fit in one leaf. No two neighbours
// then fit in one, so leaves stay over half full on average.
void TextTree::MergeAround(size_t pos, bool preferLeft) noexcept {
    for (;;) {
        const Spot at = Find(pos, preferLeft);
        const Leaf* leaf = at.leaf;
        if (leaf->prev && leaf->prev->size + leaf->size <= leafChars_) {
            Absorb(at.before[kChars] - leaf->prev->size);
        } else if (leaf->next && leaf->size + leaf->next->size <= leafChars_) {
            Absorb(at.before[kChars]);
        } else {
            return;
        }
    }
}

// The leaf starting at `pos` takes in the text of the next one, which goes.
void TextTree::Absorb(size_t pos) noexcept {
    const Spot to = Find(pos, false);
    Leaf* leaf = to.leaf;
    Leaf* next = leaf->next;
    Spot from = Find(pos + leaf->size, false);
    std::memcpy(leaf->text + leaf->size, next->text, next->size * sizeof(char16_t));
    const Counts moved = TotalOf(next);
    Add(to, moved);
    Subtract(from, moved);
    leaf->size += next->size;
    leaf->lineFeeds += next->lineFeeds;
    leaf->characterStarts += next->characterStarts;
    leaf->wordStarts += next->wordStarts;
    leaf->next = next->next;
    if (next->next) next->next->prev = leaf;
    RemoveChild(from, height_ - 1);
    Recycle(next);
}

// ---- Nodes ----

// Fills the pools to `leaves` and `inners` nodes; what they already hold is not allocated
// again, so most edits allocate nothing.
void TextTree::Reserve(size_t leaves, size_t inners) {
    if (spareLeaves_.capacity() < leaves) spareLeaves_.reserve(leaves);
    while (spareLeaves_.size() < leaves) spareLeaves_.push_back(NewLeaf());
    if (spareInners_.capacity() < inners) spareInners_.reserve(inners);
    while (spareInners_.size() < inners) spareInners_.push_back(NewInner());
}

// Inner nodes that adding `leaves` side by side may need, at most: a node that overflows
// splits off at most ceil(added / fan-out) siblings, and above the root each new root holds
// the old one and the siblings it split off.
size_t TextTree::InnersFor(size_t leaves) const {
    size_t total = 0, added = leaves;
    for (size_t level = 0; level < height_ && added > 0; ++level) {
        added = (added + fanOut_ - 1) / fanOut_;
        total += added;
    }
    while (added > 0) {
        const size_t nodes = (1 + added + fanOut_ - 1) / fanOut_;
        total += nodes;
        added = nodes - 1;
    }
    return total;
}

// Nodes are taken from the back of a pool without removing them, so that runs taken one
// after another stay in place until Settle.
TextTree::Run<TextTree::Leaf> TextTree::TakeLeaves(size_t n) noexcept {
    leavesTaken_ += n;
    return {spareLeaves_.data() + spareLeaves_.size() - leavesTaken_, n};
}

TextTree::Run<TextTree::Inner> TextTree::TakeInners(size_t n) noexcept {
    innersTaken_ += n;
    return {spareInners_.data() + spareInners_.size() - innersTaken_, n};
}

// Drops what was taken from the pools and frees what a short edit won't need.
void TextTree::Settle() noexcept {
    spareLeaves_.erase(spareLeaves_.end() - static_cast<std::ptrdiff_t>(leavesTaken_),
                       spareLeaves_.end());
    spareInners_.erase(spareInners_.end() - static_cast<std::ptrdiff_t>(innersTaken_),
                       spareInners_.end());
    leavesTaken_ = innersTaken_ = 0;
    for (; spareLeaves_.size() > kKeepLeaves; spareLeaves_.pop_back()) delete spareLeaves_.back();
    for (; spareInners_.size() > height_ + 1; spareInners_.pop_back()) delete spareInners_.back();
}

// A freed node goes back to its pool while that has room without allocating.
void TextTree::Recycle(Leaf* leaf) noexcept {
    if (spareLeaves_.size() < spareLeaves_.capacity()) return spareLeaves_.push_back(leaf);
    delete leaf;
}

void TextTree::Recycle(Inner* node) noexcept {
    if (spareInners_.size() < spareInners_.capacity()) return spareInners_.push_back(node);
    delete node;
}

TextTree::Leaf* TextTree::NewLeaf() {
    CountAllocation();
    return new Leaf;  // not Leaf(): that would zero the text
}

TextTree::Inner* TextTree::NewInner() {
    CountAllocation();
    return new Inner;
}

TextTree::Leaf* TextTree::FirstLeaf() const {
    Node* node = root_;
    for (size_t level = 0; level < height_; ++level) node = static_cast<Inner*>(node)->child[0];
    return static_cast<Leaf*>(node);
}

// The leaves through their links; the inner nodes by recursion no deeper than the height.
void TextTree::FreeAll() noexcept {
    if (root_) {
        for (Leaf* leaf = FirstLeaf(); leaf;) delete std::exchange(leaf, leaf->next);
        FreeInner(root_, height_);
        root_ = nullptr;
    }
    for (Leaf* leaf : spareLeaves_) delete leaf;
    for (Inner* node : spareInners_) delete node;
    spareLeaves_.clear();
    spareInners_.clear();
}

void TextTree::FreeInner(Inner* node, size_t height) noexcept {
    if (height > 1)
        for (size_t i = 0; i < node->n; ++i)
            FreeInner(static_cast<Inner*>(node->child[i]), height - 1);
    delete node;
}

// ---- Audit ----

std::string TextTree::Audit() const {
    const Leaf* last = nullptr;
    std::string fault = AuditNode(root_, 0, total_, last);
    if (!fault.empty()) return fault;
    if (last->next) return "a leaf linked after the last";
    if (height_ > 1 && root_->n < 2) return "a root with one inner child";
    for (const Leaf* leaf = FirstLeaf(); leaf; leaf = leaf->next) {
        if (leaf->size == 0 && (leaf->prev || leaf->next)) return "an empty leaf among others";
        if (leaf->next && leaf->size + leaf->next->size <= leafChars_)
            return "two neighbouring leaves that fit in one";
    }
    return {};
}

std::string TextTree::AuditNode(const Node* node, size_t level, Counts total,
                                const Leaf*& last) const {
    if (level == height_) {
        const Leaf* leaf = static_cast<const Leaf*>(node);
        if (leaf->prev != last || (last && last->next != leaf)) return "a leaf out of its links";
        last = leaf;
        if (leaf->size > leafChars_) return "an overfull leaf";
        Counts read = StartsIn(leaf, 0, leaf->size);
        read[kChars] = leaf->size;
        read[kLineFeeds] = CountLineFeeds(leaf->text, leaf->text + leaf->size);
        if (!std::equal(read.of, read.of + kKinds, total.of) ||
            !std::equal(read.of, read.of + kKinds, TotalOf(leaf).of))
            return "a leaf counted wrong";
        return {};
    }
    const Inner* inner = static_cast<const Inner*>(node);
    if (inner->n == 0 || inner->n > fanOut_) return "an inner node with too many or no children";
    const Counts sum = TotalOf(inner);
    if (!std::equal(sum.of, sum.of + kKinds, total.of)) return "an inner node counted wrong";
    for (size_t i = 0; i < inner->n; ++i) {
        if (level + 1 < height_ &&
            static_cast<const Inner*>(inner->child[i])->n < (fanOut_ + 1) / 2)
            return "an inner node under half full";
        std::string fault = AuditNode(inner->child[i], level + 1, CountsAt(inner, i), last);
        if (!fault.empty()) return fault;
    }
    return {};
}

}  // namespace tarnwick

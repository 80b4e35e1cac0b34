#include "platform/TextTree.h"

#include <cstring>
#include <new>
#include <utility>

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

}  // namespace

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
    root_->chars[0] = root_->lineFeeds[0] = 0;
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
    for (size_t i = 0; i < leaves; ++i) {
        Leaf* leaf = run.nodes[i];
        const TextView part = text.substr(i * leafChars_, leafChars_);
        std::memcpy(leaf->text, part.data(), part.size() * sizeof(char16_t));
        leaf->size = part.size();
        leaf->lineFeeds = CountLineFeeds(part);
        lineFeeds_ += leaf->lineFeeds;
        leaf->prev = prev;
        leaf->next = nullptr;
        if (prev) prev->next = leaf;
        prev = leaf;
    }
    const auto group = [this](auto below) {
        const Run<Inner> up = TakeInners((below.n + fanOut_ - 1) / fanOut_);
        for (size_t d = 0, i = 0; d < up.n; ++d) {
            Inner* node = up.nodes[d];
            node->n = Share(below.n, up.n, d, true);
            for (size_t slot = 0; slot < node->n; ++slot, ++i) {
                const Counts total = TotalOf(below.nodes[i]);
                node->child[slot] = below.nodes[i];
                node->chars[slot] = total.chars;
                node->lineFeeds[slot] = total.lineFeeds;
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
    chars_ = text.size();
    Settle();
    Recycle(static_cast<Leaf*>(empty->child[0]));
    Recycle(empty);
}

TextTree::TextTree(TextTree&& other) noexcept
    : leafChars_(other.leafChars_),
      fanOut_(other.fanOut_),
      root_(std::exchange(other.root_, nullptr)),
      height_(other.height_),
      chars_(std::exchange(other.chars_, 0)),
      lineFeeds_(std::exchange(other.lineFeeds_, 0)),
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
    std::swap(chars_, other.chars_);
    std::swap(lineFeeds_, other.lineFeeds_);
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

// Goes down by position (or by line feed), keeping the path. The last child is tried first
// and taken without a scan, so that work at the end of the text never scans a node.
TextTree::Spot TextTree::Descend(size_t target, bool byLineFeed, bool preferLeft) const {
    Spot at;
    at.before = at.lineFeedsBefore = 0;
    Counts total{chars_, lineFeeds_};  // of the node searched
    Node* node = root_;
    for (size_t level = 0; level < height_; ++level) {
        Inner* inner = static_cast<Inner*>(node);
        const size_t* keys = byLineFeed ? inner->lineFeeds : inner->chars;
        const size_t last = inner->n - 1;
        const size_t ahead = (byLineFeed ? total.lineFeeds : total.chars) - keys[last];
        size_t i = 0;
        if (preferLeft ? target > ahead : target >= ahead) {
            i = last;
            target -= ahead;
            at.before += total.chars - inner->chars[last];
            at.lineFeedsBefore += total.lineFeeds - inner->lineFeeds[last];
        } else {
            for (; preferLeft ? target > keys[i] : target >= keys[i]; ++i) {
                target -= keys[i];
                at.before += inner->chars[i];
                at.lineFeedsBefore += inner->lineFeeds[i];
            }
        }
        at.path[level] = {inner, i};
        total = {inner->chars[i], inner->lineFeeds[i]};
        node = inner->child[i];
    }
    at.leaf = static_cast<Leaf*>(node);
    at.offset = target;
    return at;
}

// At a leaf boundary `preferLeft` picks the end of the leaf before, not the start of the next.
TextTree::Spot TextTree::Find(size_t pos, bool preferLeft) const {
    return Descend(std::min(pos, chars_), false, preferLeft);
}

TextTree::Spot TextTree::FindLineFeed(size_t k) const {
    Spot at = Descend(k, true, true);
    at.offset = NthLineFeed(at.leaf->text, at.leaf->size, at.leaf->lineFeeds, at.offset);
    return at;
}

TextTree::Counts TextTree::TotalOf(const Inner* node) {
    Counts total{0, 0};
    for (size_t i = 0; i < node->n; ++i) {
        total.chars += node->chars[i];
        total.lineFeeds += node->lineFeeds[i];
    }
    return total;
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
        return at.lineFeedsBefore + CountLineFeeds(text, text + at.offset);
    return at.lineFeedsBefore + leaf->lineFeeds -
           CountLineFeeds(text + at.offset, text + leaf->size);
}

size_t TextTree::LineStart(size_t line) const {
    if (line == 0) return 0;
    const Spot lf = FindLineFeed(std::min(line, lineFeeds_));
    return lf.before + lf.offset + 1;
}

size_t TextTree::LineEnd(size_t line) const {
    if (line >= lineFeeds_) return chars_;
    const Spot lf = FindLineFeed(line + 1);
    return lf.before + lf.offset - CrBefore(lf.leaf, lf.offset);
}

// The start of the line holding a spot, looked for in the spot's own leaf first: a line is
// most often shorter than a leaf.
size_t TextTree::LineStartBefore(const Spot& at) const {
    const char16_t* text = at.leaf->text;
    const char16_t* start = text + at.offset;
    while (start > text && start[-1] != u'\n') --start;
    if (start > text) return at.before + static_cast<size_t>(start - text);
    return LineStart(at.lineFeedsBefore);
}

size_t TextTree::Column(size_t pos) const {
    const Spot at = Find(pos, true);
    return at.before + at.offset - LineStartBefore(at);
}

TextTree::Span TextTree::LineThrough(size_t pos) const {
    const Spot at = Find(pos, true);
    const Leaf* leaf = at.leaf;
    const char16_t* lf = std::find(leaf->text + at.offset, leaf->text + leaf->size, u'\n');
    const size_t offset = static_cast<size_t>(lf - leaf->text);
    const size_t end = offset < leaf->size ? at.before + offset - CrBefore(leaf, offset)
                                           : LineEnd(at.lineFeedsBefore + leaf->lineFeeds);
    return {LineStartBefore(at), end};
}

// ---- Editing ----

size_t TextTree::Insert(size_t pos, TextView text, size_t lineFeeds) {
    Spot at = Find(pos, true);
    const size_t column = at.before + at.offset - LineStartBefore(at);
    if (text.empty()) return column;
    if (at.leaf->size + text.size() <= leafChars_) {
        InsertInLeaf(at, text, lineFeeds);
    } else {
        SplitLeaf(at, text, lineFeeds);
    }
    return column;
}

void TextTree::InsertInLeaf(Spot& at, TextView text, size_t lineFeeds) noexcept {
    Leaf* leaf = at.leaf;
    char16_t* p = leaf->text + at.offset;
    std::memmove(p + text.size(), p, (leaf->size - at.offset) * sizeof(char16_t));
    std::memcpy(p, text.data(), text.size() * sizeof(char16_t));
    leaf->size += text.size();
    leaf->lineFeeds += lineFeeds;
    Add(at, text.size(), lineFeeds);
}

// The leaf's head and the new text fill leaves from the left, so the last of them has room
// right after the text, where a walk's next insertion goes; the leaf's tail gets a leaf of
// its own. At the very start the leaf stays whole and the text goes in leaves before it.
void TextTree::SplitLeaf(Spot& at, TextView text, size_t lineFeeds) {
    Leaf* leaf = at.leaf;
    const size_t offset = at.offset, tail = leaf->size - offset;
    const size_t caret = at.before + offset + text.size();
    const bool before = offset == 0 && leaf->size > 0;
    const size_t kept = before ? 0 : std::min(leafChars_ - offset, text.size());
    const size_t chunks = (text.size() - kept + leafChars_ - 1) / leafChars_;
    const size_t fresh = chunks + (!before && tail > 0);
    Reserve(fresh, InnersFor(fresh));  // the last thing that can fail

    const Run<Leaf> run = TakeLeaves(fresh);
    if (!before && tail > 0) {
        Leaf* last = run.nodes[fresh - 1];
        std::memcpy(last->text, leaf->text + offset, tail * sizeof(char16_t));
        last->size = tail;
        last->lineFeeds = CountLineFeeds(last->text, last->text + tail);
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
    Add(at, text.size(), lineFeeds);
    const Step parent = at.path[height_ - 1];
    parent.node->chars[parent.index] = leaf->size;
    parent.node->lineFeeds[parent.index] = leaf->lineFeeds;
    InsertChildren(at, height_ - 1, parent.index + !before, run);
    Settle();
    MergeAround(caret, true);
    MergeAround(caret, false);
}

void TextTree::Add(const Spot& at, size_t chars, size_t lineFeeds) noexcept {
    for (size_t level = 0; level < height_; ++level) {
        at.path[level].node->chars[at.path[level].index] += chars;
        at.path[level].node->lineFeeds[at.path[level].index] += lineFeeds;
    }
    chars_ += chars;
    lineFeeds_ += lineFeeds;
}

void TextTree::Subtract(const Spot& at, size_t chars, size_t lineFeeds) noexcept {
    for (size_t level = 0; level < height_; ++level) {
        at.path[level].node->chars[at.path[level].index] -= chars;
        at.path[level].node->lineFeeds[at.path[level].index] -= lineFeeds;
    }
    chars_ -= chars;
    lineFeeds_ -= lineFeeds;
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
    const Counts own = TotalOf(node);
    up.node->chars[up.index] = own.chars;
    up.node->lineFeeds[up.index] = own.lineFeeds;
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
            const Counts counts = TotalOf(child);
            to->child[slot] = child;
            to->chars[slot] = counts.chars;
            to->lineFeeds[slot] = counts.lineFeeds;
            return;
        }
        const size_t from = k < index ? k : k - run.n;
        to->child[slot] = node->child[from];
        to->chars[slot] = node->chars[from];
        to->lineFeeds[slot] = node->lineFeeds[from];
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
        const Counts all = TotalOf(root_);
        top->n = 1;
        top->child[0] = root_;
        top->chars[0] = all.chars;
        top->lineFeeds[0] = all.lineFeeds;
        root_ = top;
        ++height_;
        siblings = Spread(top, 1, siblings);
    }
}

void TextTree::Erase(size_t pos, size_t count) noexcept {
    pos = std::min(pos, chars_);
    count = std::min(count, chars_ - pos);
    if (count == 0) return;
    for (size_t left = count; left > 0;) {
        Spot at = Find(pos, false);
        Leaf* leaf = at.leaf;
        const size_t n = std::min(left, leaf->size - at.offset);
        char16_t* p = leaf->text + at.offset;
        const size_t lineFeeds = CountLineFeeds(p, p + n);
        Subtract(at, n, lineFeeds);
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
    std::copy(right->chars, right->chars + n, left->chars + left->n);
    std::copy(right->lineFeeds, right->lineFeeds + n, left->lineFeeds + left->n);
    left->n += n;
    right->n = 0;
    parent->chars[j] += std::exchange(parent->chars[j + 1], 0);
    parent->lineFeeds[j] += std::exchange(parent->lineFeeds[j + 1], 0);
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
    const Counts moved{from->chars[i], from->lineFeeds[i]};
    if (toLeft) {
        PutSlot(left, left->n, from->child[i], moved);
        EraseSlot(right, 0);
    } else {
        PutSlot(right, 0, from->child[i], moved);
        --left->n;
    }
    const size_t to = toLeft ? j : j + 1;
    parent->chars[to] += moved.chars;
    parent->lineFeeds[to] += moved.lineFeeds;
    parent->chars[2 * j + 1 - to] -= moved.chars;
    parent->lineFeeds[2 * j + 1 - to] -= moved.lineFeeds;
}

void TextTree::PutSlot(Inner* node, size_t i, Node* child, Counts counts) noexcept {
    std::copy_backward(node->child + i, node->child + node->n, node->child + node->n + 1);
    std::copy_backward(node->chars + i, node->chars + node->n, node->chars + node->n + 1);
    std::copy_backward(node->lineFeeds + i, node->lineFeeds + node->n,
                       node->lineFeeds + node->n + 1);
    node->child[i] = child;
    node->chars[i] = counts.chars;
    node->lineFeeds[i] = counts.lineFeeds;
    ++node->n;
}

void TextTree::EraseSlot(Inner* node, size_t i) noexcept {
    std::copy(node->child + i + 1, node->child + node->n, node->child + i);
    std::copy(node->chars + i + 1, node->chars + node->n, node->chars + i);
    std::copy(node->lineFeeds + i + 1, node->lineFeeds + node->n, node->lineFeeds + i);
    --node->n;
}

// Merges the leaf at `pos` with a neighbour while the two fit in one leaf. No two neighbours
// then fit in one, so leaves stay over half full on average.
void TextTree::MergeAround(size_t pos, bool preferLeft) noexcept {
    for (;;) {
        const Spot at = Find(pos, preferLeft);
        const Leaf* leaf = at.leaf;
        if (leaf->prev && leaf->prev->size + leaf->size <= leafChars_) {
            Absorb(at.before - leaf->prev->size);
        } else if (leaf->next && leaf->size + leaf->next->size <= leafChars_) {
            Absorb(at.before);
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
    Add(to, next->size, next->lineFeeds);
    Subtract(from, next->size, next->lineFeeds);
    leaf->size += next->size;
    leaf->lineFeeds += next->lineFeeds;
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
    std::string fault = AuditNode(root_, 0, {chars_, lineFeeds_}, last);
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
        if (leaf->size != total.chars || leaf->lineFeeds != total.lineFeeds ||
            CountLineFeeds(leaf->text, leaf->text + leaf->size) != total.lineFeeds)
            return "a leaf counted wrong";
        return {};
    }
    const Inner* inner = static_cast<const Inner*>(node);
    if (inner->n == 0 || inner->n > fanOut_) return "an inner node with too many or no children";
    const Counts sum = TotalOf(inner);
    if (sum.chars != total.chars || sum.lineFeeds != total.lineFeeds)
        return "an inner node counted wrong";
    for (size_t i = 0; i < inner->n; ++i) {
        if (level + 1 < height_ &&
            static_cast<const Inner*>(inner->child[i])->n < (fanOut_ + 1) / 2)
            return "an inner node under half full";
        std::string fault =
            AuditNode(inner->child[i], level + 1, {inner->chars[i], inner->lineFeeds[i]}, last);
        if (!fault.empty()) return fault;
    }
    return {};
}

}  // namespace tarnwick

#pragma once
// Text held in a B+ tree of leaves: each entry of an inner node counts the characters, line
// feeds, and character and word starts below it, so finding a position, a line or the k-th
// character or word, and an edit anywhere, costs a walk down one path (plus one leaf's
// scan), however long the text and wherever the edit.
#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/Text.h"

namespace tarnwick {

// 2048 characters (4 KB) a leaf: a split, a merge or a scan for a line feed touches a few
// KB at most, and 70 M characters take ~35 K leaves. 64 children a node: a node's counts are
// searched by a scan of one contiguous array, cheap beside the cache miss each level costs,
// and three levels above the leaves then hold up to 500 M characters.
struct TextGeometry {
    size_t leafChars = 2048;  // 2 up to this default; tests use tiny ones for deep trees
    size_t fanOut = 64;       // 3 up to this default
};

class TextTree {
  public:
    using Geometry = TextGeometry;
    static constexpr size_t kLeafChars = Geometry{}.leafChars;
    static constexpr size_t kFanOut = Geometry{}.fanOut;

    explicit TextTree(Geometry geometry = {});
    TextTree(TextView text, Geometry geometry);  // linear time: leaves filled, then the levels
    TextTree(TextTree&& other) noexcept;
    TextTree& operator=(TextTree&& other) noexcept;
    ~TextTree();

    // What the tree counts: code units, line feeds, and the positions where a character or
    // a word starts (TextBoundaries.h), the first position of the text left out.
    enum Kind : size_t { kChars, kLineFeeds, kCharacterStarts, kWordStarts, kKinds };

    Geometry Shape() const { return {leafChars_, fanOut_}; }
    size_t Length() const { return total_[kChars]; }
    size_t LineFeeds() const { return total_[kLineFeeds]; }
    size_t Total(Kind kind) const { return total_[kind]; }
    size_t CountBefore(Kind kind, size_t pos) const;  // those at positions below pos
    size_t FindNth(Kind kind, size_t k) const;        // the position of the k-th, 1 <= k <= Total
    size_t Height() const { return height_; }         // inner levels above the leaves

    char16_t At(size_t pos) const;             // pos < Length()
    size_t LineFeedsBefore(size_t pos) const;  // pos <= Length()
    size_t LineStart(size_t line) const;       // line <= LineFeeds()
    size_t LineEnd(size_t line) const;         // before its CR LF, or the end of the text
    struct Span {
        size_t start, end;  // end before the CR LF
    };
    Span LineThrough(size_t pos) const;  // the line holding pos, found from pos's own leaf
    size_t Column(size_t pos) const;     // characters from the start of its line to pos

    // Calls take(TextView) for the text from `pos` on, a leaf's part at a time, until it
    // returns false.
    template <class Take>
    void Read(size_t pos, Take take) const;
    // The same for the text before `end`, from its last leaf back to the first.
    template <class Take>
    void ReadBack(size_t end, Take take) const;

    // Either succeeds or throws std::bad_alloc with nothing changed. The caller has counted
    // the text's line feeds. Returns the column of pos, found on the way for free.
    size_t Insert(size_t pos, TextView text, size_t lineFeeds);
    void Erase(size_t pos, size_t count) noexcept;

    // Every invariant of the tree checked, for tests: empty when all hold.
    std::string Audit() const;
    // For tests: the walks down the tree made so far, the measure of what a lookup costs.
    size_t Walks() const { return walks_; }
    // For tests: the n-th node allocation from now on this thread fails (-1: none do).
    static void FailAllocationAfter(long n);

  private:
    // Every inner node but the root is at least half full, two children at fan-out 3: a
    // tree this high would hold 2^63 leaves.
    static constexpr size_t kMaxHeight = 64;

    struct Counts {
        size_t of[kKinds];
        size_t operator[](size_t kind) const { return of[kind]; }
        size_t& operator[](size_t kind) { return of[kind]; }
        Counts& operator+=(const Counts& other);
        Counts& operator-=(const Counts& other);
    };
    struct Node {};
    struct Leaf : Node {
        Leaf* prev = nullptr;
        Leaf* next = nullptr;
        size_t size = 0;
        size_t lineFeeds = 0;
        size_t characterStarts = 0;  // at the leaf's positions, its first one included
        size_t wordStarts = 0;
        char16_t text[kLeafChars];  // left uninitialised: only [0, size) is ever read
    };
    struct Inner : Node {
        size_t n = 0;  // children
        size_t count[kKinds][kFanOut];
        Node* child[kFanOut];
    };
    struct Step {
        Inner* node;
        size_t index;
    };
    struct Spot {  // a position: its leaf, the path down to it, what comes before it
        Step path[kMaxHeight];
        Leaf* leaf;
        size_t offset;
        Counts before;
    };
    template <class T>
    struct Run {  // nodes taken from a spare pool, in order
        T* const* nodes;
        size_t n;
    };

    // Finding
    Spot Descend(size_t target, Kind kind, bool preferLeft) const;
    Spot Find(size_t pos, bool preferLeft) const;
    Spot FindLineFeed(size_t k) const;  // the k-th, from 1
    Leaf* FirstLeaf() const;
    static Counts TotalOf(const Leaf* leaf) {
        return {{leaf->size, leaf->lineFeeds, leaf->characterStarts, leaf->wordStarts}};
    }
    static Counts TotalOf(const Inner* node);
    static Counts CountsAt(const Inner* node, size_t i);
    static void SetCounts(Inner* node, size_t i, const Counts& counts);
    static Counts StartsIn(const Leaf* leaf, size_t from, size_t to);
    static size_t NthStart(const Leaf* leaf, Kind kind, size_t k);
    static bool CrBefore(const Leaf* leaf, size_t offset);
    size_t LineStartBefore(const Spot& at) const;
    // Editing
    void InsertInLeaf(Spot& at, TextView text, size_t lineFeeds) noexcept;
    void SplitLeaf(Spot& at, TextView text, size_t lineFeeds);
    void Add(const Spot& at, const Counts& counts) noexcept;
    void Subtract(const Spot& at, const Counts& counts) noexcept;
    void ChangeStarts(const Spot& at, const Counts& starts, bool add) noexcept;
    void Recount(size_t from, size_t to, bool add) noexcept;
    template <class T>
    void InsertChildren(Spot& at, size_t level, size_t index, Run<T> run) noexcept;
    template <class T>
    Run<Inner> Spread(Inner* node, size_t index, Run<T> run) noexcept;
    size_t Share(size_t total, size_t nodes, size_t d, bool fill) const;
    void GrowRoot(Run<Inner> siblings) noexcept;
    void RemoveChild(Spot& at, size_t level) noexcept;
    static void Borrow(Inner* parent, size_t j, bool toLeft) noexcept;
    static void EraseSlot(Inner* node, size_t i) noexcept;
    static void PutSlot(Inner* node, size_t i, Node* child, Counts counts) noexcept;
    void MergeAround(size_t pos, bool preferLeft) noexcept;
    void Absorb(size_t pos) noexcept;
    // Nodes: the spare pools let an edit allocate all it may need before it changes a thing
    void Reserve(size_t leaves, size_t inners);
    size_t InnersFor(size_t leaves) const;
    Run<Leaf> TakeLeaves(size_t n) noexcept;
    Run<Inner> TakeInners(size_t n) noexcept;
    void Settle() noexcept;
    void Recycle(Leaf* leaf) noexcept;
    void Recycle(Inner* node) noexcept;
    void FreeAll() noexcept;
    void FreeInner(Inner* node, size_t height) noexcept;
    static Leaf* NewLeaf();
    static Inner* NewInner();
    std::string AuditNode(const Node* node, size_t level, Counts total, const Leaf*& last) const;

    size_t leafChars_;
    size_t fanOut_;
    Inner* root_ = nullptr;  // always an inner node, with at least one leaf below
    size_t height_ = 1;
    Counts total_{};
    std::vector<Leaf*> spareLeaves_;
    std::vector<Inner*> spareInners_;
    mutable size_t walks_ = 0;
    size_t leavesTaken_ = 0;  // from the back of the pools during an edit
    size_t innersTaken_ = 0;
};

template <class Take>
void TextTree::Read(size_t pos, Take take) const {
    if (pos >= Length()) return;
    const Spot at = Find(pos, false);
    size_t offset = at.offset;
    for (const Leaf* leaf = at.leaf; leaf; leaf = leaf->next, offset = 0)
        if (!take(TextView(leaf->text + offset, leaf->size - offset))) return;
}

template <class Take>
void TextTree::ReadBack(size_t end, Take take) const {
    if (end == 0) return;
    const Spot at = Find(end, true);
    size_t size = at.offset;
    for (const Leaf* leaf = at.leaf; leaf; leaf = leaf->prev, size = leaf ? leaf->size : 0)
        if (!take(TextView(leaf->text, size))) return;
}

}  // namespace tarnwick

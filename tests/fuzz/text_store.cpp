// Edit sequences on the result box's text store, in a tree of tiny leaves and nodes so
// that a few edits split and merge at every level, against a plain string: after each
// edit the text, its lines, its character and word starts and the tree's own invariants;
// an edit that runs out of memory leaves all of them as they were.
#include <new>

#include "resultview/model/TextBoundaries.h"
#include "resultview/model/TextStore.h"
#include "tests/fuzz/FuzzText.h"

namespace tarnwick::fuzz {
namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    uint8_t Byte() { return size > 0 ? (--size, *data++) : 0; }
    Text Units(size_t n) {
        const Text t = ToText(data, std::min(n, size));
        data += t.size(), size -= t.size();
        return t;
    }
};

size_t LongestLine(const Text& t) {
    size_t longest = 0;
    for (size_t start = 0, end; start <= t.size(); start = end + 1) {
        end = std::min(t.find(u'\n', start), t.size());
        const size_t cr = end > start && t[end - 1] == u'\r' && end < t.size();
        longest = std::max(longest, end - start - cr);
    }
    return longest;
}

void Check(const TextStore& store, const Text& t, size_t anchor, size_t caret) {
    FUZZ_CHECK(store.GetText() == t);
    FUZZ_CHECK(store.Tree().Audit().empty());
    FUZZ_CHECK(store.Anchor() == anchor && store.Caret() == caret);
    FUZZ_CHECK(store.Count(u'\n') == static_cast<size_t>(std::count(t.begin(), t.end(), u'\n')));
    FUZZ_CHECK(store.LongestLine() >= LongestLine(t));
    size_t line = 0, lineStart = 0, characters = 0, words = 0;
    for (size_t pos = 0; pos <= t.size(); ++pos) {
        if (pos > 0 && t[pos - 1] == u'\n') {
            const size_t end = pos - 1 - (pos >= 2 && t[pos - 2] == u'\r');
            FUZZ_CHECK(store.LineStart(line) == lineStart && store.LineEnd(line) == end);
            FUZZ_CHECK(store.LineLength(line) == end - lineStart);
            ++line, lineStart = pos;
        }
        FUZZ_CHECK(store.LineOf(pos) == line);
        FUZZ_CHECK(store.StartsBefore(TextStore::Starts::kCharacterStarts, pos) == characters);
        FUZZ_CHECK(store.StartsBefore(TextStore::Starts::kWordStarts, pos) == words);
        if (pos == 0 || pos == t.size()) continue;
        FUZZ_CHECK(store.At(pos) == t[pos]);
        if (StartsCharacter(t[pos - 1], t[pos]))
            FUZZ_CHECK(store.NthStart(TextStore::Starts::kCharacterStarts, ++characters) == pos);
        if (StartsWord(t[pos - 1], t[pos]))
            FUZZ_CHECK(store.NthStart(TextStore::Starts::kWordStarts, ++words) == pos);
    }
    FUZZ_CHECK(store.LineCount() == line + 1 && store.LineStart(line) == lineStart);
    FUZZ_CHECK(store.StartCount(TextStore::Starts::kCharacterStarts) == characters);
    FUZZ_CHECK(store.StartCount(TextStore::Starts::kWordStarts) == words);
}

}  // namespace
}  // namespace tarnwick::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tarnwick;
    using namespace tarnwick::fuzz;
    Input in{data, size};
    const uint8_t shape = in.Byte();
    TextStore store({.leafChars = 2 + shape % 7u, .fanOut = 3 + shape / 7u % 3u});
    Text t;
    size_t anchor = 0, caret = 0;
    while (in.size > 0) {
        const uint8_t op = in.Byte();
        if (op % 8 == 0) {  // SetText, rarely
            t = in.Units(op / 8u);
            store.SetText(t);
            anchor = caret = 0;
        } else if (op % 2 == 0) {  // Select, past the end too
            anchor = std::min<size_t>(in.Byte() * (t.size() + 2) / 255, t.size());
            caret = std::min<size_t>(in.Byte() * (t.size() + 2) / 255, t.size());
            store.Select(anchor, caret);
        } else {  // type, paste or erase over the selection; now and then out of memory
            const size_t start = std::min(anchor, caret), end = std::max(anchor, caret);
            const bool failing = op % 8 == 7;
            if (failing) TextTree::FailAllocationAfter(in.Byte() % 4);
            const Text text = in.Units(op / 8u);
            FUZZ_CHECK(store.Substr(start, end - start) == t.substr(start, end - start));
            try {
                store.ReplaceSelection(text);
                t.replace(start, end - start, text);
                anchor = caret = start + text.size();
            } catch (const std::bad_alloc&) {
                FUZZ_CHECK(failing);  // and the text as it was: Check below
            }
            TextTree::FailAllocationAfter(-1);
        }
        Check(store, t, anchor, caret);
    }
    return 0;
}

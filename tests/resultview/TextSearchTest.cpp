#include "resultview/model/TextSearch.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace tarnwick {
namespace {

// Random ranges of random texts, needles cut from them or made up, either way, with and
// without case: the same answer as a plain string's find on the folded texts. Leaves of
// every size read in place or copied, texts longer than one copied block, and needles too
// long to be looked for in place.
TEST(TextSearch, FindsWhatAPlainStringFinds) {
    std::vector<char16_t> upper(TextSearch::kFoldSize);
    for (size_t c = 0; c < upper.size(); ++c)
        upper[c] = static_cast<char16_t>(c >= u'a' && c <= u'z' ? c - 32 : c);
    upper[u'文'] = u'A';  // three units fold to A, as some letters do in the system's table
    static const TextView kPieces[] = {u"a", u"A", u"ab", u"b", u"\r\n", u"文", u"\xD83D\xDE00"};
    std::mt19937 random(11);
    for (int round = 0; round < 400; ++round) {
        Text text;
        const bool longText = round % 8 == 0;
        for (size_t n = random() % (longText ? 25000 : 200); n > 0; --n)
            text += kPieces[random() % std::size(kPieces)];
        static const size_t kLeafChars[] = {6, 40, 2048};
        TextStore store({.leafChars = kLeafChars[round % 3], .fanOut = 3});
        store.SetText(text);
        size_t from = random() % (text.size() + 2), to = random() % (text.size() + 2);
        if (longText) from /= 100, to = text.size() + 1 - to / 100;  // across blocks
        Text needle;
        if ((longText || random() % 2) && !text.empty()) {
            const size_t at = random() % text.size();
            needle = text.substr(at, 1 + random() % (longText || round % 5 == 0 ? 400 : 12));
        } else {
            for (size_t n = 1 + random() % 4; n > 0; --n) needle += kPieces[random() % 4];
        }
        const bool ignoreCase = random() % 2, backward = random() % 2;
        Text folded = text, foldedNeedle = needle;
        for (Text* s : {&folded, &foldedNeedle})
            for (char16_t& c : *s) c = ignoreCase ? upper[c] : c;
        size_t expected = TextSearch::kNone;
        if (from < to && to <= text.size() + 1) {
            const Text range =
                folded.substr(from, std::min(to, text.size()) - std::min(from, text.size()));
            const size_t at = backward ? range.rfind(foldedNeedle) : range.find(foldedNeedle);
            if (at != Text::npos && !needle.empty()) expected = from + at;
        }
        const TextSearch search(needle, ignoreCase ? upper.data() : nullptr);
        ASSERT_EQ(search.Find(store, from, to, backward), expected)
            << "round " << round << " from " << from << " to " << to;
    }
}

}  // namespace
}  // namespace tarnwick

// The /list box against the window's own: the same text whatever goes in, and, for as long
// as every line went in at the end and the code page holds it, the very bytes converting
// that text gives.
#include "platform/native/ListingResultBox.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/Ansi.h"
#include "platform/memory/MemoryResultBox.h"

namespace tarnwick::native {
namespace {

struct Read {
    Text text, pieces;
    bool held;
    std::string bytes;
};

Read ReadBack(const ListingResultBox& box) {
    Read r{box.GetText(), u"", false, ""};
    box.ForEachPiece([&](TextView p) { return r.pieces += p, true; });
    r.held = box.ForEachPieceIn(936, [&](std::string_view b) { return r.bytes += b, true; });
    EXPECT_FALSE(box.ForEachPieceIn(kUtf8CodePage, [](std::string_view) { return true; }));
    return r;
}

// Paths that share more or less of their folders with the one before, as a walk's lines
// do; the last two names are beyond code page 936 (a Korean name, a byte that isn't UTF-8).
Text RandomPath(std::mt19937& random, bool& held) {
    static const TextView kNames[] = {u"数据", u"a",      u"报告 2024.txt", u"€·",
                                      u"",     u"한국어", u"x\xDC80"};
    Text path;
    for (unsigned depth = static_cast<unsigned>(random() % 5), i = 0; i <= depth; ++i) {
        const unsigned pick = static_cast<unsigned>(random() % (i == depth ? 7 : 5));
        held = held && pick < 5;
        path += Text(i ? u"/" : u"") + Text(kNames[pick]);
    }
    return path + (random() % 4 ? u"\r\n" : u"/");
}

TEST(ListingResultBox, ReadsAsTheWindowsBoxAndHoldsTheBytesTheSaveWrites) {
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        ListingResultBox box;
        MemoryResultBox window;
        bool held = true;
        for (int step = 0, steps = static_cast<int>(random() % 12); step < steps; ++step) {
            if (random() % 10 == 0) {
                const TextView text = random() % 2 ? u"old\r\n" : u"";
                box.SetText(text);
                window.SetText(text);
                held = text.empty();
            } else {
                const Text line = RandomPath(random, held);
                EXPECT_TRUE(box.SetSelText(line));
                window.SetSelText(line);  // at the start after "old", as in an edit box
            }
        }
        const Read r = ReadBack(box);
        ASSERT_EQ(r.text, window.GetText()) << "round " << round;
        ASSERT_EQ(r.pieces, r.text);
        ASSERT_EQ(r.held, held) << "round " << round;
        if (held) {
            ASSERT_EQ(r.bytes, ToCodePageExactly(r.text, 936)) << "round " << round;
        }
    }
}

TEST(ListingResultBox, ALongListingKeepsEveryLineAcrossItsBlocks) {
    ListingResultBox box;
    Text text;
    for (int i = 0; i < 200000; ++i) {
        const Text line = u"/资料/" + Text(i % 97, u'x') + u"\r\n";
        box.SetSelText(line);
        text += line;
    }
    Read r = ReadBack(box);
    ASSERT_TRUE(r.held);
    EXPECT_EQ(r.bytes, ToCodePageExactly(text, 936));
    box.SetSelText(u"한\r\n");  // and all of it into the window's store
    r = ReadBack(box);
    EXPECT_FALSE(r.held);
    EXPECT_EQ(r.text, text + u"한\r\n");
}

}  // namespace
}  // namespace tarnwick::native

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

TEST(ListingResultBox, ReadsAsTheWindowsBoxAndHoldsTheBytesTheSaveWrites) {
    // The last two are beyond code page 936: a Korean name, a name's byte that isn't UTF-8.
    const TextView lines[] = {u"/数据/报告 2024.txt\r\n", u"/a/plain name\r\n", u"/€·\r\n",
                              u"/한국어\r\n", u"/x\xDC80\r\n"};
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        ListingResultBox box;
        MemoryResultBox window;
        bool held = true;
        for (int step = 0, steps = static_cast<int>(random() % 8); step < steps; ++step) {
            const unsigned pick = random() % 12;
            if (pick < 2) {
                const TextView text = pick ? u"old\r\n" : u"";
                box.SetText(text);
                window.SetText(text);
                held = text.empty();
            } else {
                const TextView line = lines[pick % std::size(lines)];
                EXPECT_TRUE(box.SetSelText(line));
                window.SetSelText(line);  // at the start after "old", as in an edit box
                held = held && pick % std::size(lines) < 3;
            }
        }
        const Read r = ReadBack(box);
        ASSERT_EQ(r.text, window.GetText()) << "round " << round;
        ASSERT_EQ(r.pieces, r.text);
        ASSERT_EQ(r.held, held) << "round " << round;
        if (held) ASSERT_EQ(r.bytes, ToCodePageExactly(r.text, 936));
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

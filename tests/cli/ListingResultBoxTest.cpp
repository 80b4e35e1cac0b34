// The /list box against the window's own: the same text whatever goes in, and, for as long
// as every line went in at the end and the code page holds it, the very bytes converting
// that text gives.
#include "cli/native/ListingResultBox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <stdexcept>

#include "platform/Ansi.h"
#include "resultview/memory/MemoryResultBox.h"

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

// The lines go to `take` as the blocks fill, while more are added, and come to the bytes a
// save writes of the whole text; once the text leaves the code page, false, for it to be
// written afresh. What `take` or the adding throws comes out once the giving has ended.
TEST(ListingResultBox, LinesGivenWhileAddedAreTheBytesTheSaveWrites) {
    enum End { Whole, LeavesCodePage, WriteFails, AddingFails };
    for (const End end : {Whole, LeavesCodePage, WriteFails, AddingFails}) {
        SCOPED_TRACE(end);
        ListingResultBox box;
        Text text;
        std::string given;
        std::mutex mutex;
        std::condition_variable taken;
        int pieces = 0;
        const auto take = [&](std::string_view bytes) {
            std::lock_guard lock(mutex);
            if (end == WriteFails && pieces == 1) throw std::runtime_error("disk full");
            given += bytes;
            ++pieces;
            taken.notify_all();
        };
        const auto adding = [&] {
            for (int i = 0; i < 200000; ++i) {
                if (i == 100000) {  // a block has filled: it goes while lines still come
                    std::unique_lock lock(mutex);
                    EXPECT_TRUE(
                        taken.wait_for(lock, std::chrono::seconds(60), [&] { return pieces > 0; }));
                }
                const Text line = u"/资料/" + Text(i % 97, u'x') + u"\r\n";
                box.SetSelText(line);
                text += line;
            }
            if (end == LeavesCodePage) box.SetSelText(u"한\r\n");
            if (end == AddingFails) throw std::bad_alloc();
        };
        if (end == WriteFails) {
            EXPECT_THROW(box.GiveWhileAdding(936, adding, take), std::runtime_error);
        } else if (end == AddingFails) {
            EXPECT_THROW(box.GiveWhileAdding(936, adding, take), std::bad_alloc);
        } else {
            EXPECT_EQ(box.GiveWhileAdding(936, adding, take), end == Whole);
        }
        if (end == Whole) {
            EXPECT_EQ(given, ToCodePageExactly(text, 936));
        }
        if (end == LeavesCodePage) {
            EXPECT_EQ(box.GetText(), text + u"한\r\n");
        }
    }
}

}  // namespace
}  // namespace tarnwick::native

#include "listing/NumberText.h"
#include "tests/listing/WalkFixture.h"

namespace tarnwick::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAreArray;

const Text kSep(1, kSeparator);

// The folder "Data" holding a.txt and Sub, which holds b.txt.
class ListingLines : public WalkTest {
  protected:
    void SetUp() override {
        tree.File(u"Data/a.txt");
        tree.File(u"Data/Sub/b.txt");
    }
};

TEST_F(ListingLines, FullPathsInWalkOrder) {
    Set({.levels = 2});
    const auto lines = List(P(u"Data"));
    EXPECT_THAT(lines,
                UnorderedElementsAreArray(Ps({u"Data/a.txt", u"Data/Sub", u"Data/Sub/b.txt"})));
    ExpectDepthFirst(lines, P(u"Data"));
}

TEST_F(ListingLines, TrailingSeparatorGivesTheSameLines) {
    Set({.levels = 2});
    const auto without = List(P(u"Data"));
    box.Store().SetText(u"");
    EXPECT_EQ(List(P(u"Data") + kSep), without);
}

TEST_F(ListingLines, BareNamesIndentFourSpacesPerLevel) {
    tree.File(u"Data/Sub/Deeper/c.txt");
    Set({.bare = true});
    EXPECT_THAT(List(P(u"Data")),
                UnorderedElementsAreArray(std::vector<Text>{u"a.txt", u"Sub", u"    b.txt",
                                                            u"    Deeper", u"        c.txt"}));
}

TEST_F(ListingLines, LevelsOneListsOnlyTheChosenFolderAndQueriesNothingForDescents) {
    Set({.levels = 1});
    EXPECT_THAT(List(P(u"Data")), UnorderedElementsAreArray(Ps({u"Data/a.txt", u"Data/Sub"})));
    EXPECT_EQ(files.enumerations, 1);
    EXPECT_EQ(files.attributeQueries, 2);  // one TestPath per entry, none for a descent
}

TEST_F(ListingLines, FoldersOnlyLeavesFilesOutButStillEntersFolders) {
    tree.Folder(u"Data/Sub/Inner");
    Set({.files = false});
    EXPECT_THAT(List(P(u"Data")), UnorderedElementsAreArray(Ps({u"Data/Sub", u"Data/Sub/Inner"})));
    // TestPath for each of a.txt, Sub, b.txt, Inner, and the folder test for the three that pass.
    EXPECT_EQ(files.attributeQueries, 4 + 4);
}

TEST_F(ListingLines, EveryLineEndsInCrLfTheLastIncluded) {
    Set({});
    List(P(u"Data"));
    const Text text = box.Store().GetText();
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), u"\r\n");
    EXPECT_EQ(text.find(u"\r\n\r\n"), Text::npos);
}

TEST_F(WalkTest, EmptyFolderPumpsTwiceAndAddsNoLine) {
    tree.Folder(u"Empty");
    Set({});
    EXPECT_THAT(List(P(u"Empty")), IsEmpty());
    EXPECT_EQ(pump.pumps, 2);  // at "." and "..", no third pump
}

TEST_F(WalkTest, EmptySubFolderKeepsItsOwnLine) {
    tree.Folder(u"Top/Empty");
    Set({});
    EXPECT_THAT(List(P(u"Top")), ElementsAreArray(Ps({u"Top/Empty"})));
    EXPECT_EQ(pump.pumps, 3 + 2);
}

TEST_F(WalkTest, MissingFolderGivesNothingAndNeverPumps) {
    Set({});
    EXPECT_THAT(List(P(u"Nowhere")), IsEmpty());
    EXPECT_EQ(pump.pumps, 0);
}

TEST_F(WalkTest, AFileTakenForAFolderGivesNothing) {
    tree.File(u"plain.txt");
    Set({});
    EXPECT_THAT(List(P(u"plain.txt")), IsEmpty());
    EXPECT_EQ(pump.pumps, 0);
}

TEST_F(WalkTest, UnreadableFolderContributesNoLineAndNoPump) {
    tree.File(u"top/locked/inside.txt");
    tree.File(u"top/open/inside.txt");
    files.unreadableFolders = {u"locked"};
    Set({});
    EXPECT_THAT(List(P(u"top")), UnorderedElementsAreArray(
                                     Ps({u"top/locked", u"top/open", u"top/open/inside.txt"})));
    EXPECT_EQ(pump.pumps, 3 + 3);  // top's and open's pumps only
}

TEST_F(WalkTest, EntryWhoseAttributesCannotBeReadIsMissingWithEverythingBelowIt) {
    tree.File(u"top/hidden-from-us/inside.txt");
    tree.File(u"top/fine.txt");
    files.unreadableEntries = {u"hidden-from-us"};
    Set({});
    EXPECT_THAT(List(P(u"top")), ElementsAreArray(Ps({u"top/fine.txt"})));
}

TEST_F(WalkTest, EmptyPathListsTheRoot) {
    Set({.files = false, .levels = 1});
    const auto lines = List(u"");
    ASSERT_THAT(lines, ::testing::Not(IsEmpty()));
    for (const Text& line : lines) {
        EXPECT_TRUE(line.starts_with(kSep)) << Narrow(line);
        EXPECT_FALSE(line.starts_with(kSep + kSep)) << Narrow(line);
    }
}

TEST_F(WalkTest, HiddenFolderNeedsTheHiddenBitInTheMask) {
    tree.File(u".secret/inside.txt");
    tree.Hide(u".secret");
    tree.File(u"shown.txt");
    Set({.hidden = false});
    EXPECT_THAT(List(tree.Root()), ElementsAreArray(Ps({u"shown.txt"})));

    box.Store().SetText(u"");
    Set({.hidden = true});
    EXPECT_THAT(List(tree.Root()),
                UnorderedElementsAreArray(Ps({u"shown.txt", u".secret", u".secret/inside.txt"})));
}

TEST_F(WalkTest, UnicodeNamesAreListedAndEntered) {
    const Text chinese = u"文件夹";
    const Text astral = u"\U0001F4C1 emoji";  // outside the basic plane: a surrogate pair
    tree.File(chinese + u"/" + astral + u"/说明.txt");
    Set({});
    EXPECT_THAT(List(tree.Root()),
                UnorderedElementsAreArray(Ps(
                    {chinese, chinese + u"/" + astral, chinese + u"/" + astral + u"/说明.txt"})));
}

// Names holding CR or LF: POSIX allows them, and Samba shares and Wine show them. Each entry
// keeps one line, the breaks shown as their control pictures, and the walk enters such a
// folder by its real name.
TEST_F(WalkTest, LineBreaksInNamesAreShownAsControlPictures) {
    struct Name {
        Text real;
        Text shown;
    };
    const Name names[] = {
        {u"crlf\r\nZ:\\fake", u"crlf\u240D\u240AZ:\\fake"},
        {u"cr\rx", u"cr\u240Dx"},
        {u"lf\nx", u"lf\u240Ax"},
    };
    for (const Name& n : names) {
        if (!tree.HostFile(u"file " + n.real) || !tree.HostFile(u"dir " + n.real + u"/child"))
            GTEST_SKIP() << "names holding line breaks cannot be made here";
    }
#ifdef _WIN32
    const bool entered = false;  // Wine lists such names but refuses any path holding one
#else
    const bool entered = true;
#endif
    for (const bool bare : {true, false}) {
        std::vector<Text> expected;
        for (const Name& n : names) {
            const Text file = u"file " + n.shown, folder = u"dir " + n.shown;
            expected.push_back(bare ? file : P(file));
            expected.push_back(bare ? folder : P(folder));
            if (entered) expected.push_back(bare ? u"    child" : P(folder + u"/child"));
        }
        box.Store().SetText(u"");
        Set({.bare = bare});
        EXPECT_THAT(List(tree.Root()), UnorderedElementsAreArray(expected)) << "bare " << bare;
    }
}

// The chain a/b/c/d, one folder in each.
class DepthDuringWalk : public WalkTest {
  protected:
    void SetUp() override { tree.Folder(u"a/b/c/d"); }
    // Runs `change` at the first pump inside folder a (after a's own line exists).
    void OnEnteringA(std::function<void()> change) {
        pump.onPump = [this, change](int) {
            if (Lines().size() == 1 && !done_) {
                done_ = true;
                change();
            }
        };
    }
    bool done_ = false;
};

TEST_F(DepthDuringWalk, LoweredLevelsStopLaterDescents) {
    Set({.levels = 10});
    OnEnteringA([&] { form.Levels = 2; });
    EXPECT_THAT(List(tree.Root()), ElementsAreArray(Ps({u"a", u"a/b"})));
}

TEST_F(DepthDuringWalk, RaisedLevelsLetLaterDescentsGoDeeper) {
    Set({.levels = 2});
    OnEnteringA([&] { form.Levels = 4; });
    EXPECT_THAT(List(tree.Root()), ElementsAreArray(Ps({u"a", u"a/b", u"a/b/c", u"a/b/c/d"})));
}

// A depth lowered below the level of the folder being read ends it at that pump, as a stop
// does: nothing more of it is read, and the listing is that of a walk begun at the new
// depth. At the new depth itself its entries are still listed: it is read to its end.
TEST_F(WalkTest, ADepthLoweredBelowTheFolderBeingReadEndsItsReading) {
    for (int i = 0; i < 300; ++i) {  // each folder past the 256 entries of a timed pump
        tree.File(u"top/d1/f" + Digits(i));
        tree.File(u"top/d1/d2/f" + Digits(i));
    }
    int64_t now = 0;
    form.clock = [&now] { return now += 100; };  // every timed pump is due
    form.readAhead.stall = {};                   // the pumps are the walk's own
    struct Case {
        Text folder;  // d1 at level 2, d2 at 3
        int32_t levels;
        bool ends;
    };
    for (const Case& c :
         {Case{u"d1", 1, true}, {u"d1", 2, false}, {u"d2", 2, true}, {u"d2", 3, false}}) {
        files.readers = false;
        Set({.levels = c.levels});
        const std::vector<Text> model = List(P(u"top"));
        int pumpAtChange = 0, readAtChange = 0;
        pump.onPump = [&](int n) {
            if (pumpAtChange || files.readingFolder != c.folder || files.entriesInFolder < 200)
                return;
            form.Levels = c.levels;
            pumpAtChange = n;
            readAtChange = files.entriesRead;
        };
        for (const bool readers : {false, true}) {  // then at the same pump, reading ahead
            files.readers = readers;
            Set({});
            box.Store().SetText(u"");
            pump.pumps = 0;
            EXPECT_EQ(List(P(u"top")), model) << Narrow(c.folder) << " " << c.levels;
            EXPECT_TRUE(readers || (files.entriesRead == readAtChange) == c.ends) << c.levels;
            pump.onPump = [&](int n) { form.Levels = n == pumpAtChange ? c.levels : form.Levels; };
        }
        box.Store().SetText(u"");
        pump.onPump = nullptr;
    }
}

// Folder "a" holds three folders, each holding one more.
class StopAndClose : public WalkTest {
  protected:
    void SetUp() override {
        for (TextView s : {u"a/s1/inner", u"a/s2/inner", u"a/s3/inner"}) tree.Folder(s);
        tree.Folder(u"z");
        Set({});
    }
};

TEST_F(StopAndClose, StopAtAPumpEndsThatFolderAndAncestorsFinishWithoutContents) {
    pump.onPump = [this](int) {  // stop inside whichever of s1..s3 comes first
        const auto lines = Lines();
        if (!lines.empty() &&
            lines.back().substr(lines.back().find_last_of(kSeparator) + 1).starts_with(u"s"))
            form.StopRequested = True;
    };
    files.readers = false;  // the walk opens every folder itself
    int enumerationsAtStop = -1;
    pump.onPump = [this, &enumerationsAtStop, stopInS = pump.onPump](int n) {
        stopInS(n);
        if (form.StopRequested == True && enumerationsAtStop < 0)
            enumerationsAtStop = files.enumerations;
    };
    const auto lines = List(tree.Root());
    // The stopped folder lists nothing; a and the root still list their remaining entries,
    // without opening the folders among them, which could add nothing.
    std::vector<Text> expected = Ps({u"a", u"a/s1", u"a/s2", u"a/s3", u"z"});
    EXPECT_THAT(lines, UnorderedElementsAreArray(expected));
    EXPECT_EQ(form.StopRequested, True);
    EXPECT_EQ(files.enumerations, enumerationsAtStop);
}

TEST_F(StopAndClose, StopDuringTheLastPumpOfAFolderListsNothingOfIt) {
    // The root pumps at ".", ".." and after collecting a and z: stop at that third pump.
    pump.onPump = [this](int) {
        if (pump.pumps == 3) form.StopRequested = True;
    };
    EXPECT_THAT(List(tree.Root()), IsEmpty());
}

TEST_F(StopAndClose, ClosingTheWindowEndsTheProgramWithNoFurtherLine) {
    size_t linesAtClose = 0;
    pump.onPump = [&](int) {
        if (Lines().size() == 3) {
            linesAtClose = 3;
            pump.windows = 0;
        }
    };
    EXPECT_THROW(form.ListFile(tree.Root(), 1), ProgramEnded);
    EXPECT_EQ(linesAtClose, 3u);
    EXPECT_EQ(Lines().size(), 3u);
}

// The caret and the selection of the result box, moved by the user between pumps.
TEST_F(WalkTest, CaretMovedDuringTheWalkTakesTheFollowingLines) {
    tree.Folder(u"a/b");
    Set({});
    pump.onPump = [this](int) {
        if (Lines().size() == 1 && box.Store().SelEnd() != 0) box.Store().Select(0, 0);
    };
    const Text a = P(u"a"), b = P(u"a/b");
    List(tree.Root());
    EXPECT_EQ(box.Store().GetText(), b + u"\r\n" + a + u"\r\n");
}

TEST_F(WalkTest, SelectionMadeDuringTheWalkIsReplaced) {
    tree.Folder(u"a/b");
    Set({.bare = true});
    pump.onPump = [this](int) {
        if (box.Store().GetText() == u"a\r\n") box.Store().Select(1, 0);  // select "a"
    };
    List(tree.Root());
    EXPECT_EQ(box.Store().GetText(), u"    b\r\n\r\n");
}

TEST_F(WalkTest, LinkBackToAnAncestorIsListedButNotEntered) {
    tree.File(u"top/a/file.txt");
    tree.File(u"elsewhere/other.txt");
    if (!tree.FolderLink(u"top/a/up", u"top") || !tree.FolderLink(u"top/a/self", u"top/a") ||
        !tree.FolderLink(u"top/a/out", u"elsewhere")) {
        GTEST_SKIP() << "folder links cannot be made here";
    }
    Set({});
    const auto lines = List(P(u"top"));
    EXPECT_THAT(lines, UnorderedElementsAreArray(
                           Ps({u"top/a", u"top/a/file.txt", u"top/a/up", u"top/a/self",
                               u"top/a/out", u"top/a/out/other.txt"})));
}

// A folder of 1000 files, read by a walk whose clock moves a second at every reading:
// every 256 entries a pump is due.
class LargeFolder : public WalkTest {
  protected:
    void SetUp() override {
        for (int i = 0; i < 1000; ++i) tree.File(u"big/f" + Digits(i));
        form.clock = [this] { return now_ += 1000; };
        Set({});
    }
    static Text Digits(int i) {
        const std::string s = std::to_string(i);
        return Text(s.begin(), s.end());
    }
    int64_t now_ = 0;
};

TEST_F(LargeFolder, PumpsWhileReadingAFolderOfManyEntries) {
    EXPECT_EQ(List(P(u"big")).size(), 1000u);
    EXPECT_EQ(pump.pumps, 2 + 3 + 1);  // ".", "..", after 256, 512 and 768 entries, the end
}

TEST_F(LargeFolder, NoExtraPumpWhileTheClockStands) {
    form.clock = [] { return int64_t{0}; };
    EXPECT_EQ(List(P(u"big")).size(), 1000u);
    EXPECT_EQ(pump.pumps, 3);
}

TEST_F(LargeFolder, AStopAtAnExtraPumpListsNothingOfTheFolder) {
    pump.onPump = [this](int n) {
        if (n == 3) form.StopRequested = True;
    };
    EXPECT_THAT(List(P(u"big")), IsEmpty());
    EXPECT_EQ(pump.pumps, 3);
}

TEST_F(LargeFolder, ClosingAtAnExtraPumpEndsTheProgram) {
    pump.onPump = [this](int n) {
        if (n == 3) pump.windows = 0;
    };
    EXPECT_THROW(form.ListFile(P(u"big"), 1), ProgramEnded);
    EXPECT_THAT(Lines(), IsEmpty());
}

// A folder that is slow to open (Wine reads 10^5 entries in one call) pumps while it opens,
// with the same effect as the pump at ".".
TEST_F(LargeFolder, AFolderSlowToOpenPumpsWhileItOpens) {
    files.slowFolders = {u"big"};
    EXPECT_EQ(List(P(u"big")).size(), 1000u);
    EXPECT_EQ(pump.pumps, 2 + 2 + 3 + 1);  // two while opening, then as without the delay
}

TEST_F(LargeFolder, AStopWhileAFolderOpensListsNothingOfIt) {
    files.slowFolders = {u"big"};
    pump.onPump = [this](int n) {
        if (n == 1) form.StopRequested = True;
    };
    EXPECT_THAT(List(P(u"big")), IsEmpty());
    EXPECT_EQ(pump.pumps, 1);
}

TEST_F(LargeFolder, ClosingWhileAFolderOpensEndsTheProgram) {
    files.slowFolders = {u"big"};
    pump.onPump = [this](int n) {
        if (n == 1) pump.windows = 0;
    };
    EXPECT_THROW(form.ListFile(P(u"big"), 1), ProgramEnded);
    EXPECT_THAT(Lines(), IsEmpty());
}

// Natively the path of the deepest folder (over 6000 bytes) is more than one system call
// takes; under Wine it stays within the 4096 bytes of the host's paths.
TEST_F(WalkTest, LinkToAFolderAboveTheStartIsListedButNotEntered) {
    tree.File(u"top/f.txt");
    if (!tree.FolderLink(u"top/up", u"")) GTEST_SKIP() << "folder links cannot be made here";
    Set({});
    EXPECT_THAT(List(P(u"top")), UnorderedElementsAreArray(Ps({u"top/f.txt", u"top/up"})));
}

TEST_F(WalkTest, VeryDeepTreeIsWalkedToTheBottom) {
#ifdef _WIN32
    constexpr int kDepth = 600;
#else
    constexpr int kDepth = 2000;
#endif
    tree.DeepChain(u"dd", kDepth, u"last.txt");
    Set({.bare = true});
    const auto lines = List(tree.Root());
    ASSERT_EQ(lines.size(), size_t{kDepth} + 1);
    EXPECT_EQ(lines[kDepth - 1], Text((kDepth - 1) * 4, u' ') + u"dd");
    EXPECT_EQ(lines.back(), Text(kDepth * 4, u' ') + u"last.txt");
}

}  // namespace
}  // namespace tarnwick::testing

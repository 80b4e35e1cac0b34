#include "platform/FileSystem.h"

#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/RunTimeError.h"
#include "tests/support/TempTree.h"

namespace tarnwick::testing {
namespace {

using ::testing::UnorderedElementsAre;

std::vector<Text> Enumerate(FileSystem& fs, const Text& folder, int32_t mask) {
    std::vector<Text> names;
    for (TextView n = fs.FindFirst(folder, mask); !n.empty(); n = fs.FindNext())
        names.emplace_back(n);
    return names;
}

class FileSystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tree.File(u"file.txt");
        tree.Folder(u"folder");
        tree.File(u".hidden");
        tree.Hide(u".hidden");
    }
    Text Folder() const { return tree.Root() + kSeparator; }

    TempTree tree;
    std::unique_ptr<FileSystem> fs = MakeFileSystem();
};

TEST_F(FileSystemTest, MaskSixteenGivesPlainFilesAndFoldersButNoHiddenEntry) {
    EXPECT_THAT(Enumerate(*fs, Folder(), 16),
                UnorderedElementsAre(u".", u"..", u"file.txt", u"folder"));
}

TEST_F(FileSystemTest, MaskEighteenGivesHiddenEntriesToo) {
    EXPECT_THAT(Enumerate(*fs, Folder(), 18),
                UnorderedElementsAre(u".", u"..", u"file.txt", u"folder", u".hidden"));
}

TEST_F(FileSystemTest, MaskWithoutTheFolderBitGivesNoFolder) {
    EXPECT_THAT(Enumerate(*fs, Folder(), 0),
                UnorderedElementsAre(u"file.txt"));  // "." and ".." are folders
}

TEST_F(FileSystemTest, AnEnumerationThatCannotStartGivesNothing) {
    EXPECT_TRUE(fs->FindFirst(tree.Path(u"missing") + kSeparator, 16).empty());
    EXPECT_TRUE(fs->FindNext().empty());
}

TEST_F(FileSystemTest, StartingAnEnumerationAbandonsTheOneInProgress) {
    tree.File(u"folder/only.txt");
    ASSERT_FALSE(fs->FindFirst(Folder(), 16).empty());
    std::vector<Text> inner;
    for (TextView n = fs->FindFirst(tree.Path(u"folder") + kSeparator, 16); !n.empty();
         n = fs->FindNext())
        inner.emplace_back(n);
    EXPECT_THAT(inner, UnorderedElementsAre(u".", u"..", u"only.txt"));
    EXPECT_TRUE(fs->FindNext().empty());
}

TEST_F(FileSystemTest, AttributesFromTheEnumerationMatchAFreshQuery) {
    auto other = MakeFileSystem();
    for (TextView n = fs->FindFirst(Folder(), 18); !n.empty(); n = fs->FindNext()) {
        if (n == u"." || n == u"..") continue;
        const Text path = Folder() + Text(n);
        const auto fromEnumeration = fs->GetAttributes(path);
        ASSERT_TRUE(fromEnumeration.has_value());
        EXPECT_EQ(fromEnumeration, other->GetAttributes(path)) << Narrow(n);
        EXPECT_EQ(fs->EnumeratedAttributes(), fromEnumeration);
        EXPECT_EQ((*fromEnumeration & attr::Folder) != 0, n == u"folder");
        EXPECT_EQ((*fromEnumeration & attr::Hidden) != 0, n == u".hidden");
    }
}

TEST_F(FileSystemTest, AttributeQueryFailsForAMissingEntry) {
    EXPECT_FALSE(fs->GetAttributes(tree.Path(u"missing")).has_value());
    EXPECT_FALSE(fs->Identity(tree.Path(u"missing")).has_value());
}

TEST_F(FileSystemTest, IdentityFollowsLinks) {
    if (!tree.FolderLink(u"link", u"folder")) GTEST_SKIP() << "folder links cannot be made here";
    const auto viaLink = fs->Identity(tree.Path(u"link"));
    ASSERT_TRUE(viaLink.has_value());
    EXPECT_EQ(viaLink, fs->Identity(tree.Path(u"folder")));
    EXPECT_NE(viaLink, fs->Identity(tree.Root()));
    const auto a = fs->GetAttributes(tree.Path(u"link"));
    ASSERT_TRUE(a.has_value());
    EXPECT_TRUE(*a & attr::Link);
    EXPECT_TRUE(*a & attr::Folder);
}

class WriteReplacingTest : public FileSystemTest {
  protected:
    std::string Read(TextView relative) {
        std::ifstream in(tree.FsPath(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<Text> Names() {
        std::vector<Text> names = Enumerate(*fs, Folder(), 18);
        std::erase_if(names, [](const Text& n) { return IsDotOrDotDot(n); });
        return names;
    }
};

TEST_F(WriteReplacingTest, PiecesMakeTheFileAndARestartDropsWhatCameBefore) {
    fs->WriteReplacing(tree.Path(u"file.txt"), [](FileWriter& f) {
        f.Write("first ");
        f.Write("draft");
        f.Restart();
        f.Write("final");
        f.Write(std::string(3 << 20, 'x'));
    });
    EXPECT_EQ(Read(u"file.txt"), "final" + std::string(3 << 20, 'x'));
    EXPECT_THAT(Names(), UnorderedElementsAre(u"file.txt", u"folder", u".hidden"));
}

// A writer that gives up half-way (a conversion that runs out of memory, say) must leave
// the old file whole and nothing beside it.
TEST_F(WriteReplacingTest, AFailureHalfWayLeavesTheOldFileAndNothingBesideIt) {
    std::ofstream(tree.FsPath(u"file.txt"), std::ios::binary) << "old listing";
    EXPECT_THROW(fs->WriteReplacing(tree.Path(u"file.txt"),
                                    [](FileWriter& f) {
                                        f.Write("half of the new");
                                        throw MakeError(error::OutOfMemory);
                                    }),
                 RunTimeError);
    EXPECT_EQ(Read(u"file.txt"), "old listing");
    EXPECT_THAT(Names(), UnorderedElementsAre(u"file.txt", u"folder", u".hidden"));
}

// The longest names the file system takes: the file made beside them while the new one is
// written must fit too.
TEST_F(WriteReplacingTest, NamesAtTheLengthLimitAreSavedAndReplaced) {
    const Text names[] = {Text(251, u'n') + u".txt", Text(255, u'm')};
    for (const Text& name : names) {
        for (const char* listing : {"new", "replaced"}) {
            SCOPED_TRACE(listing);
            fs->WriteReplacing(tree.Path(name), [&](FileWriter& f) { f.Write(listing); });
            EXPECT_EQ(Read(name), listing);
        }
    }
    EXPECT_THAT(Names(),
                UnorderedElementsAre(u"file.txt", u"folder", u".hidden", names[0], names[1]));
}

#ifdef _WIN32

// Replacing keeps what the user set on the old file: here its hidden and system marks.
// (Its creation time is kept too on Windows; Wine cannot set one.)
TEST_F(WriteReplacingTest, ReplacingKeepsTheFilesAttributes) {
    tree.File(u"kept.txt");
    tree.Hide(u"kept.txt");
    tree.MarkSystem(u"kept.txt");
    fs->WriteReplacing(tree.Path(u"kept.txt"), [](FileWriter& f) { f.Write("new"); });
    EXPECT_EQ(Read(u"kept.txt"), "new");
    const DWORD a = GetFileAttributesW(tree.FsPath(u"kept.txt").c_str());
    EXPECT_EQ(a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});
    const auto entries = std::distance(std::filesystem::directory_iterator(tree.FsPath(u"")),
                                       std::filesystem::directory_iterator{});
    EXPECT_EQ(entries, 4);  // nothing left beside it
}

#else

mode_t ModeOf(const std::filesystem::path& p) {
    struct stat st {};
    EXPECT_EQ(stat(p.c_str(), &st), 0);
    return st.st_mode & 07777;
}

// Replacing keeps what the user set on the old file: its mode; a new file gets the mode the
// umask gives.
TEST_F(WriteReplacingTest, ReplacingKeepsTheModeAndANewFileFollowsTheUmask) {
    for (const mode_t mode : {0600, 0640, 0664, 0604}) {
        SCOPED_TRACE(mode);
        std::ofstream(tree.FsPath(u"kept.txt")) << "old";
        ASSERT_EQ(chmod(tree.FsPath(u"kept.txt").c_str(), mode), 0);
        fs->WriteReplacing(tree.Path(u"kept.txt"), [&](FileWriter& f) {
            f.Write("new");
            // While it is written, nobody but its owner can read the new listing.
            int temps = 0;
            for (const auto& e : std::filesystem::directory_iterator(tree.FsPath(u""))) {
                if (!e.path().filename().string().starts_with(".~tw")) continue;
                ++temps;
                EXPECT_EQ(ModeOf(e.path()) & 077, 0u);
            }
            EXPECT_EQ(temps, 1);
        });
        EXPECT_EQ(Read(u"kept.txt"), "new");
        EXPECT_EQ(ModeOf(tree.FsPath(u"kept.txt")), mode);
    }
    for (const mode_t mask : {022, 077}) {
        SCOPED_TRACE(mask);
        const mode_t previous = umask(mask);
        std::filesystem::remove(tree.FsPath(u"new.txt"));
        fs->WriteReplacing(tree.Path(u"new.txt"), [](FileWriter& f) { f.Write("x"); });
        umask(previous);
        EXPECT_EQ(ModeOf(tree.FsPath(u"new.txt")), 0666 & ~mask);
    }
}

// Saving onto a symbolic link writes the file it names, through a chain of links and a
// relative one; the links stay links.
TEST_F(WriteReplacingTest, ALinkIsWrittenThroughAndStaysALink) {
    tree.Folder(u"folder/deeper");
    std::ofstream(tree.FsPath(u"folder/deeper/real.txt")) << "old";
    ASSERT_EQ(symlink("deeper/real.txt", tree.FsPath(u"folder/inner").c_str()), 0);
    ASSERT_EQ(symlink(tree.FsPath(u"folder/inner").c_str(), tree.FsPath(u"outer").c_str()), 0);
    fs->WriteReplacing(tree.Path(u"outer"), [](FileWriter& f) { f.Write("new"); });
    EXPECT_EQ(Read(u"folder/deeper/real.txt"), "new");
    EXPECT_TRUE(std::filesystem::is_symlink(tree.FsPath(u"outer")));
    EXPECT_TRUE(std::filesystem::is_symlink(tree.FsPath(u"folder/inner")));
    EXPECT_THAT(Names(), UnorderedElementsAre(u"file.txt", u"folder", u".hidden", u"outer"));
}

#endif

}  // namespace
}  // namespace tarnwick::testing

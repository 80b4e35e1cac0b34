// Saving the listing, with the save dialog played back and the real file system.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/CountingFileSystem.h"
#include "tests/window/WindowFixture.h"

namespace tarnwick::testing {
namespace {

using ::testing::ElementsAre;

class SaveTest : public WindowTest {
  protected:
    std::string Read(TextView relative) {
        std::ifstream in(tree.FsPath(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void Write(TextView relative, const std::string& bytes) {
        std::ofstream(tree.FsPath(relative), std::ios::binary) << bytes;
    }
    void Save(TextView relative) {
        w->Desktop().answers = {tree.Path(relative)};
        w->Click(form.cmdSave);
    }
    std::vector<std::string> FolderContents() {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(tree.FsPath(u"")))
            names.push_back(e.path().filename().string());
        return names;
    }
    TempTree tree;
};

TEST_F(SaveTest, TheRequestAndTheTitleWhileTheDialogIsOpen) {
    Text title;
    w->Desktop().whileDialogOpen = [&] { title = form.Me.GetCaption(); };
    w->Click(form.cmdSave);
    EXPECT_EQ(title, u"正在保存文件");
    ASSERT_EQ(w->Desktop().requests.size(), 1u);
    const SaveRequest& r = w->Desktop().requests[0];
    EXPECT_EQ(r.filter, Text(u"文本文档(TXT)\0*.TXT\0所有文件\0*.*\0\0", 26));
    EXPECT_EQ(r.title, u"保存文件清单");
    EXPECT_EQ(r.defaultExtension, u"TXT");
    EXPECT_EQ(r.flags, 0x008A0004u);
    EXPECT_EQ(r.fileBufferSize, 260u);
}

TEST_F(SaveTest, TheListingIsSavedInTheAnsiCodePageAsItStands) {
    form.txtResult.SetText(u"C:\\数据\\a.txt\r\nSub\r\n");
    Save(u"list.TXT");
    EXPECT_EQ(form.Me.GetCaption(), u"保存成功。");
    // Code page 936: two bytes a Chinese character; no byte-order mark, no extra line end.
    EXPECT_EQ(Read(u"list.TXT"), "C:\\\xca\xfd\xbe\xdd\\a.txt\r\nSub\r\n");
    EXPECT_EQ(form.txtResult.GetText(), u"C:\\数据\\a.txt\r\nSub\r\n");  // unchanged
}

TEST_F(SaveTest, AnEmptyListingEmptiesAnExistingFileWithoutAQuestion) {
    Write(u"old.txt", "previous contents");
    Save(u"old.txt");
    EXPECT_EQ(Read(u"old.txt"), "");
    EXPECT_EQ(form.Me.GetCaption(), u"保存成功。");
    EXPECT_TRUE(w->Desktop().errorBoxes.empty());
}

TEST_F(SaveTest, ATextTheCodePageCannotHoldIsSavedAsUtf8) {
    form.txtResult.SetText(u"\U0001F4C1 照片\r\n");
    Save(u"u.txt");
    EXPECT_EQ(form.Me.GetCaption(), u"保存成功。（UTF-8）");
    EXPECT_EQ(Read(u"u.txt"), "\xEF\xBB\xBF\xF0\x9F\x93\x81 \xE7\x85\xA7\xE7\x89\x87\r\n");
    form.txtResult.SetText(u"照\xDCFF\r\n");  // a lone surrogate, which UTF-8 cannot hold
    Save(u"u.txt");
    EXPECT_EQ(form.Me.GetCaption(), u"保存成功。（UTF-16）");
    EXPECT_EQ(Read(u"u.txt"), std::string("\xFF\xFE\x67\x71\xFF\xDC\r\0\n\0", 10));
}

// Windows' "Unicode UTF-8" option makes the ANSI code page UTF-8: its text is then exact,
// written without a byte-order mark, and only a lone surrogate needs the fallback.
TEST_F(SaveTest, UnderTheUtf8CodePageTheListingIsExactUtf8) {
    struct Case {
        Text listing;
        std::string bytes;
        Text title;
    };
    const Case cases[] = {
        {u"C:\\数据\\\U0001F4C1 한국어\r\n",
         "C:\\\xE6\x95\xB0\xE6\x8D\xAE\\\xF0\x9F\x93\x81 \xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4\r\n",
         u"保存成功。"},
        {u"", "", u"保存成功。"},
        // Lone surrogates, which no UTF-8 holds: UTF-16 LE with its mark, every unit kept.
        {u"a\xDCFF\xD83D\U0001F4C1\r\n",
         std::string("\xFF\xFE\x61\0\xFF\xDC\x3D\xD8\x3D\xD8\xC1\xDC\r\0\n\0", 16),
         u"保存成功。（UTF-16）"},
    };
    form.ansiCodePage = kUtf8CodePage;
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.listing));
        form.txtResult.SetText(c.listing);
        Save(u"utf8.txt");
        EXPECT_EQ(form.Me.GetCaption(), c.title);
        EXPECT_EQ(Read(u"utf8.txt"), c.bytes);
    }
}

// A long listing is converted a piece at a time; no character may be cut in two or lost
// where one piece ends and the next begins.
TEST_F(SaveTest, ALongListingSavesEveryCharacter) {
    Text gbk;  // over two million characters, Chinese and ASCII, in the code page
    while (gbk.size() < (size_t{2} << 20)) gbk += u"D:\\资料\\第二季度\\report.txt\r\n";
    form.txtResult.SetText(gbk);
    Save(u"long.txt");
    EXPECT_EQ(form.Me.GetCaption(), u"保存成功。");
    const std::string ansi = Read(u"long.txt");
    const std::string line =
        "D:\\\xd7\xca\xc1\xcf\\\xb5\xda\xb6\xfe\xbc\xbe\xb6\xc8\\report.txt\r\n";
    ASSERT_EQ(ansi.size(), gbk.size() / 23 * line.size());
    EXPECT_EQ(ansi.substr(ansi.size() - line.size()), line);

    // A character outside the plane of ordinary ones, across the first million characters.
    Text wide(size_t{1} << 20, u'a');
    wide.back() = u'\xD83D';
    wide += u"\xDE00\r\n";
    form.txtResult.SetText(wide);
    Save(u"wide.txt");
    EXPECT_EQ(form.Me.GetCaption(), u"保存成功。（UTF-8）");
    EXPECT_EQ(Read(u"wide.txt"),
              "\xEF\xBB\xBF" + std::string((size_t{1} << 20) - 1, 'a') + "\xF0\x9F\x98\x80\r\n");
}

TEST_F(SaveTest, CancellingTouchesNothing) {
    form.Me.SetCaption(u"保存成功。");
    w->Click(form.cmdSave);  // no answer: the user cancelled
    EXPECT_EQ(form.Me.GetCaption(), u"Tarnwick");
    EXPECT_EQ(w->Desktop().beeps, 0);
    EXPECT_TRUE(FolderContents().empty());
}

TEST_F(SaveTest, ADialogFailureBeepsAndShowsItsCode) {
    w->Desktop().dialogError = 12291;  // the chosen path does not fit the buffer
    w->Click(form.cmdSave);
    EXPECT_EQ(w->Desktop().beeps, 1);
    EXPECT_EQ(form.Me.GetCaption(), u"未保存。CommDlgExtendedError=12291");
    EXPECT_TRUE(w->Desktop().errorBoxes.empty());
}

TEST_F(SaveTest, AReadOnlyFileIsNeitherReplacedNorDamaged) {
    Write(u"ro.txt", "keep me");
    std::filesystem::permissions(tree.FsPath(u"ro.txt"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    form.txtResult.SetText(u"new\r\n");
    Save(u"ro.txt");
    ASSERT_EQ(w->Desktop().errorBoxes.size(), 1u);
    const RunTimeError& e = w->Desktop().errorBoxes[0];
    EXPECT_EQ(form.Me.GetCaption(), u"保存失败。" + e.description);
    EXPECT_EQ(Read(u"ro.txt"), "keep me");
    EXPECT_THAT(FolderContents(), ElementsAre("ro.txt"));  // no half-written file beside it
    std::filesystem::permissions(tree.FsPath(u"ro.txt"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
}

TEST_F(SaveTest, AMissingFolderIsAPathNotFound) {
    Save(u"nowhere/list.txt");
    ASSERT_EQ(w->Desktop().errorBoxes.size(), 1u);
    EXPECT_EQ(w->Desktop().errorBoxes[0].number, 76);
    EXPECT_EQ(form.Me.GetCaption(), u"保存失败。路径未找到");
}

TEST_F(SaveTest, ASaveDuringAWalkHoldsTheLinesSoFar) {
    TempTree listed;
    listed.Folder(u"a/b");
    form.SkipChange = True;
    form.txtPath.SetText(listed.Root());
    form.ChNoPath.SetValue(1);
    w->Paste(form.txtLevel, u"5");
    pump.onPump = [&](int) {
        if (form.txtResult.GetText() == u"a\r\n" && w->Desktop().requests.empty())
            Save(u"during.txt");
    };
    w->Click(form.cmdDoIt);
    EXPECT_EQ(Read(u"during.txt"), "a\r\n");
    EXPECT_EQ(form.txtResult.GetText(), u"a\r\n    b\r\n");
}

// A name holding line breaks (POSIX allows them) keeps one line in the saved file too, with
// the breaks' control pictures, which code page 936 cannot hold.
TEST_F(SaveTest, LineBreaksInANameAreSavedAsTheirControlPictures) {
    TempTree listed;
    if (!listed.HostFile(u"a\rb\nc\r\nZ:\\fake"))
        GTEST_SKIP() << "names holding line breaks cannot be made here";
    form.SkipChange = True;
    form.txtPath.SetText(listed.Root());
    form.ChFiles.SetValue(1);
    form.ChNoPath.SetValue(1);
    w->Click(form.cmdDoIt);
    Save(u"breaks.txt");
    EXPECT_EQ(form.Me.GetCaption(), u"保存成功。（UTF-8）");
    EXPECT_EQ(Read(u"breaks.txt"),
              "\xEF\xBB\xBF"
              "a\xE2\x90\x8D"
              "b\xE2\x90\x8A"
              "c\xE2\x90\x8D\xE2\x90\x8AZ:\\fake\r\n");
}

// A file that another program holds for the first half second of the window's clock, which
// moves only by the window's pauses: the save waits through the window, as the system's does.
class HeldFileSystem : public CountingFileSystem {
  public:
    using CountingFileSystem::CountingFileSystem;
    void WriteReplacing(TextView path, const std::function<void(FileWriter&)>& content,
                        const HeldFileWaits& waits) override {
        for (HeldFileRetry retry(waits); waits.now() < 500;)
            if (!retry.WaitForAnotherTry()) throw MakeError(error::PermissionDenied);
        CountingFileSystem::WriteReplacing(path, content, waits);
    }
};

class HeldSaveTest : public ::testing::Test {
  protected:
    HeldSaveTest() {
        form.clock = [this] { return now; };
        form.pause = [this](int64_t ms) { now += ms; };
        form.txtResult.SetText(u"a\r\n");
        w->Desktop().answers = {tree.Path(u"held.txt")};
    }
    std::string Held() {
        std::ifstream in(tree.FsPath(u"held.txt"), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::unique_ptr<FileSystem> real = MakeFileSystem();
    HeldFileSystem files{*real};
    ScriptedPump pump;
    std::unique_ptr<TestWindow> w = StartTestWindow(files, pump);
    frmMain& form = w->Form();
    int64_t now = 0;
    TempTree tree;
};

// The save under way is the one asked for, and a listing would hold it until it ended.
TEST_F(HeldSaveTest, TheWindowAnswersWhileTheSaveWaitsButStartsNoOtherSaveNorListing) {
    int64_t last = 0;
    pump.onPump = [&](int n) {
        EXPECT_LE(now - last, 10);
        last = now;
        if (n != 2) return;
        w->Desktop().answers = {tree.Path(u"second.txt")};
        w->Click(form.cmdSave);
        w->Click(form.cmdDoIt);
    };
    w->Click(form.cmdSave);
    EXPECT_GE(last, 500);
    EXPECT_EQ(w->Desktop().requests.size(), 1u);
    EXPECT_EQ(form.txtResult.GetText(), u"a\r\n");
    EXPECT_EQ(form.Me.GetCaption(), u"保存成功。");
    EXPECT_EQ(Held(), "a\r\n");
    EXPECT_FALSE(std::filesystem::exists(tree.FsPath(u"second.txt")));
}

// Closed while the save waits: the file is still saved, then the program ends, as a walk
// ends it, without another look at the window.
TEST_F(HeldSaveTest, AWindowClosedWhileTheSaveWaitsEndsTheProgramOnceTheFileIsSaved) {
    pump.onPump = [&](int n) { pump.windows = n < 2 ? 1 : 0; };
    EXPECT_THROW(form.cmdSave_Click(), ProgramEnded);
    EXPECT_EQ(pump.pumps, 2);
    EXPECT_EQ(form.Me.GetCaption(), u"正在保存文件");
    EXPECT_EQ(Held(), "a\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tree.FsPath(u"")),
                            std::filesystem::directory_iterator{}),
              1);
}

}  // namespace
}  // namespace tarnwick::testing

// The drive list, folder list and path box, over in-memory lists whose folders and
// drives the fixture names: C: (current folder C:\Work), D: (D:\), E: not ready.
#include "tests/window/FormFixture.h"

namespace tarnwick::testing {
namespace {

class LocationTest : public FormTest {
  protected:
    void ExpectState(TextView drive, TextView dir, TextView path) {
        EXPECT_EQ(w.drDrive.GetDrive(), drive);
        EXPECT_EQ(w.drDir.GetPath(), dir);
        EXPECT_EQ(w.txtPath.GetText(), path);
        EXPECT_EQ(form.SkipChange, False);
    }
    std::vector<int32_t> ErrorNumbers() {
        std::vector<int32_t> n;
        for (const auto& e : w.desktop.errorBoxes) n.push_back(e.number);
        return n;
    }
};

TEST_F(LocationTest, PickingAnotherDriveMovesTheFolderListAndThePathBox) {
    w.drDrive.SetDrive(u"d:");  // as the user's pick: the list notifies
    ExpectState(u"d:", u"D:\\", u"D:\\");
}

TEST_F(LocationTest, PickingADriveThatIsNotReadyShowsTheErrorBox) {
    w.drDrive.SetDrive(u"e:");
    EXPECT_EQ(ErrorNumbers(), std::vector<int32_t>{71});
    ExpectState(u"e:", u"C:\\Work", u"C:\\Work");
}

TEST_F(LocationTest, OpeningAFolderCopiesItsPathIntoThePathBox) {
    w.drDir.Open(u"C:\\Work\\Sub");
    ExpectState(u"c:", u"C:\\Work\\Sub", u"C:\\Work\\Sub");
}

TEST_F(LocationTest, PastingAFolderOnTheCurrentDriveKeepsTheTextAsPasted) {
    folders.insert(u"c:\\work\\sub");  // the same folder, as the user typed it
    w.txtPath.SetText(u"c:\\work\\sub");
    ExpectState(u"c:", u"c:\\work\\sub", u"c:\\work\\sub");
    EXPECT_TRUE(w.desktop.errorBoxes.empty());
}

TEST_F(LocationTest, PastingAFolderOnAnotherDriveMovesAllThree) {
    w.txtPath.SetText(u"D:\\Data");
    ExpectState(u"d:", u"D:\\Data", u"D:\\Data");
    EXPECT_TRUE(w.desktop.errorBoxes.empty());
}

TEST_F(LocationTest, PastingAMissingPathOnAnotherDriveLeavesTheListsApart) {
    w.txtPath.SetText(u"D:\\Nowhere");
    EXPECT_EQ(ErrorNumbers(), std::vector<int32_t>{76});
    ExpectState(u"d:", u"C:\\Work", u"C:\\Work");
}

TEST_F(LocationTest, TypingShowsAnErrorBoxForEachTextThatNamesNoFolder) {
    w.txtPath.SetText(u"");
    w.desktop.errorBoxes.clear();
    w.txtPath.Type(u"C:\\Work\\Sub");
    // Of the 11 texts typed, "C:" (the drive's current folder), "C:\", "C:\Work" and
    // "C:\Work\Sub" open a folder; each of the other 7 gives an error box.
    EXPECT_EQ(w.desktop.errorBoxes.size(), 7u);
    ExpectState(u"c:", u"C:\\Work\\Sub", u"C:\\Work\\Sub");
}

TEST_F(LocationTest, ATextWhoseFirstLetterIsNoDriveChangesNothingElse) {
    w.txtPath.SetText(u"Q:\\x");
    EXPECT_EQ(ErrorNumbers(), std::vector<int32_t>{68});
    ExpectState(u"c:", u"C:\\Work", u"Q:\\x");
}

// A folder from the command line or a drop: chosen as a paste chooses it, but a text that
// names no folder leaves all three as they were.
TEST_F(LocationTest, ChoosingAFolderFromOutsideIsAPasteThatLeavesNoMissingPath) {
    folders.insert(u"c:\\work\\sub");
    const struct {
        TextView chosen;
        std::vector<int32_t> errors;
        TextView drive, dir, path;
    } cases[] = {
        {u"D:\\Data", {}, u"d:", u"D:\\Data", u"D:\\Data"},
        {u"c:\\work\\sub", {}, u"c:", u"c:\\work\\sub", u"c:\\work\\sub"},
        {u"D:\\Nowhere", {76}, u"c:", u"C:\\Work", u"C:\\Work"},
        {u"Q:\\x", {68}, u"c:", u"C:\\Work", u"C:\\Work"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.chosen));
        w.drDrive.Select(u'c');
        w.drDir.Open(u"C:\\Work");
        w.desktop.errorBoxes.clear();
        form.ChooseFolder(c.chosen);
        EXPECT_EQ(ErrorNumbers(), c.errors);
        ExpectState(c.drive, c.dir, c.path);
    }
}

}  // namespace
}  // namespace tarnwick::testing

#pragma once
// The main window over in-memory controls, started as the program starts it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "listing/NumberText.h"
#include "tests/support/ScriptedPump.h"
#include "tests/support/TempTree.h"
#include "window/memory/MemoryForm.h"

namespace tarnwick::testing {

class FormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        w.drDrive.letters = {u'c', u'd', u'e'};
        w.drDrive.Select(u'c');
        w.drDir.currentFolders = {{u'c', u"C:\\Work"}, {u'd', u"D:\\"}};
        w.drDir.notReady = {{u'e', 71}};
        w.drDir.exists = [this](TextView p) { return folders.contains(Text(p)); };
        w.drDir.Open(u"C:\\Work");  // the process's current folder, before start-up
        form.Form_Load();
    }

    // Puts a path into the path box without the location handlers (the native build has
    // no drive letters for real folders).
    void SetPathQuietly(TextView path) {
        Notify saved = std::move(w.txtPath.onChange);
        w.txtPath.onChange = nullptr;
        w.txtPath.SetText(path);
        w.txtPath.onChange = std::move(saved);
    }

    std::set<Text> folders{u"C:\\", u"C:\\Work", u"C:\\Work\\Sub", u"D:\\", u"D:\\Data"};
    std::unique_ptr<FileSystem> files = MakeFileSystem();
    ScriptedPump pump;
    MemoryForm w{*files, pump};
    frmMain& form = w.form;
};

}  // namespace tarnwick::testing

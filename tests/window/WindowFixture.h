#pragma once
// The main window as the program starts it, driven as a user would: the same tests run
// natively against in-memory controls and under Wine against the real window.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "listing/NumberText.h"
#include "tests/support/ScriptedPump.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestWindow.h"

namespace tarnwick::testing {

class WindowTest : public ::testing::Test {
  protected:
    std::unique_ptr<FileSystem> files = MakeFileSystem();
    ScriptedPump pump;
    std::unique_ptr<TestWindow> w = StartTestWindow(*files, pump);
    frmMain& form = w->Form();
};

}  // namespace tarnwick::testing

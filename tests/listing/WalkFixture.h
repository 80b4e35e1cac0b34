#pragma once
// A walk over real folders on disk, into an in-memory result box, with a scripted user.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "listing/HelperThreads.h"
#include "tests/support/CountingFileSystem.h"
#include "tests/support/ScriptedPump.h"
#include "tests/support/TempTree.h"
#include "window/memory/MemoryForm.h"

namespace tarnwick::testing {

class WalkTest : public ::testing::Test {
  protected:
    // A worker reads ahead from the first folder, as on an idle machine.
    WalkTest() { form.readAhead.fromStart = true; }
    // Workers are left to end by themselves; their readers count into `files`.
    ~WalkTest() override { helpers::WaitUntilAllEnded(); }

    struct Options {
        bool files = true;
        bool hidden = false;
        bool bare = false;
        int32_t levels = 32767;
    };

    void Set(Options o) {
        form.DirsOnly = o.files ? False : True;
        form.DirAttr = o.hidden ? 18 : 16;
        form.NoPath = o.bare ? True : False;
        form.Levels = o.levels;
    }
    std::vector<Text> List(TextView path) {
        form.ListFile(Text(path), 1);
        return Lines();
    }
    std::vector<Text> Lines() { return SplitLines(box.Store().GetText()); }
    Text P(TextView relative) const { return tree.Path(relative); }
    std::vector<Text> Ps(std::initializer_list<TextView> relatives) const {
        std::vector<Text> out;
        for (TextView r : relatives) out.push_back(P(r));
        return out;
    }

    std::unique_ptr<FileSystem> real = MakeFileSystem();
    CountingFileSystem files{*real};
    ScriptedPump pump;
    MemoryForm window{files, pump};
    frmMain& form = window.form;
    MemoryResultBox& box = window.txtResult;
    TempTree tree;
};

// Full-path lines in depth-first order: each line's parent is the root or an earlier
// line, and everything between that parent and the line lies inside the parent.
inline void ExpectDepthFirst(const std::vector<Text>& lines, const Text& root) {
    for (size_t i = 0; i < lines.size(); ++i) {
        const Text parent = lines[i].substr(0, lines[i].find_last_of(kSeparator));
        if (parent == root) continue;
        size_t j = i;
        while (j > 0 && lines[j - 1] != parent) {
            --j;
            ASSERT_TRUE(lines[j].starts_with(parent + kSeparator))
                << Narrow(lines[j]) << " breaks into the sub-tree of " << Narrow(parent);
        }
        ASSERT_GT(j, 0u) << Narrow(lines[i]) << " comes before its folder's line";
    }
}

}  // namespace tarnwick::testing

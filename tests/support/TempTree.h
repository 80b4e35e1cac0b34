#pragma once
// A folder tree made on disk for one test and removed after it. Relative paths use "/".
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Text.h"

namespace tarnwick::testing {

class TempTree {
  public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    Text Root() const;  // without a final separator
    Text Path(TextView relative) const;
    std::filesystem::path FsPath(TextView relative) const;

    void Folder(TextView relative);  // with any missing parents
    void File(TextView relative);
    void Hide(TextView relative);  // Windows: the hidden attribute (a "." name hides it elsewhere)
    void MarkSystem(TextView relative);                   // Windows only
    bool FolderLink(TextView relative, TextView target);  // false where links can't be made
    // A link to a file, `target` as ln takes it; under Wine the host's ln makes it.
    bool FileLink(TextView relative, TextView target);
    // `depth` nested folders all called `name`, the last holding the file `file`; at any length.
    void DeepChain(TextView name, int depth, TextView file);
    // A file (with any missing parents) made as the host system makes it, so that its names
    // may hold what Windows refuses, CR and LF among them. False where there is no host to
    // make it (Windows itself); a host that fails fails the test.
    bool HostFile(TextView relative);

  private:
    std::filesystem::path root_;
    bool hostMade_ = false;  // Windows cannot remove what the host made
};

// The lines of a listing text; fails the test if the text's last line is not terminated.
std::vector<Text> SplitLines(TextView text);

// Readable output of UTF-16 text in test failures.
std::string Narrow(TextView text);

}  // namespace tarnwick::testing

#pragma once
#include <functional>
#include <map>

#include "platform/memory/MemoryControl.h"

namespace tarnwick {

// Folders known to exist, by full path; drive letters map to their current folders.
class MemoryDirList : public MemoryControl<DirList> {
  public:
    std::function<bool(TextView path)> exists;
    std::map<char16_t, Text> currentFolders;  // lower-case letter -> folder
    std::map<char16_t, int32_t> notReady;     // lower-case letter -> error number
    Text GetPath() const override { return path_; }
    void SetPath(TextView path) override;
    void Open(TextView path) {  // the user opens a folder in the list
        path_.assign(path);
        if (onChange) onChange();
    }

  private:
    Text path_;
};

}  // namespace tarnwick

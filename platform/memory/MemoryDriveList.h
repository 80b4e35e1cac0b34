#pragma once
#include <vector>

#include "platform/memory/MemoryControl.h"

namespace tarnwick {

// Drives by letter, each with a current folder; a drive may be "not ready".
class MemoryDriveList : public MemoryControl<DriveList> {
  public:
    std::vector<char16_t> letters;  // lower case, the order of the list
    Text GetDrive() const override { return Text{selected_, u':'}; }
    void SetDrive(TextView drive) override;
    void Select(char16_t letter) { selected_ = letter; }

  private:
    char16_t selected_ = u'c';
};

}  // namespace tarnwick

#pragma once
// The main window: it owns the listing settings and every operation of the program.
#include "listing/ListingFields.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "platform/ResultBox.h"

namespace tarnwick {

class frmMain : public ListingFields {
  public:
    frmMain(FileSystem& fileSystem, EventPump& eventPump, ResultBox& resultBox)
        : files(fileSystem), events(eventPump), txtResult(resultBox) {}

    void ValidateLevels();
    void PushDir(TextView DirStr);
    bool TestPath(TextView PathName);
    void ListFile(Text Path, int32_t Layer);

    FileSystem& files;
    EventPump& events;
    ResultBox& txtResult;

  private:
    Text line_;  // PushDir's line, kept to save an allocation per line
};

}  // namespace tarnwick

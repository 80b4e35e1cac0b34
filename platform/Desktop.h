#pragma once
// What the program asks of the desktop beyond its own window: the error box, the
// launcher, the save dialog and the beep.
#include <cstdint>
#include <optional>

#include "platform/RunTimeError.h"
#include "platform/Text.h"

namespace tarnwick {

// What the save dialog is asked for. The file name field opens empty.
struct SaveRequest {
    Text filter;  // description and pattern pairs, each part followed by a NUL, then one more
    TextView title;
    TextView defaultExtension;
    uint32_t flags;
    uint32_t fileBufferSize;  // characters, the NUL included
};

class Desktop {
  public:
    virtual ~Desktop() = default;
    // The error box: warning icon, one OK button; returns when the user has closed it.
    virtual void ShowErrorBox(const RunTimeError& e) = 0;
    // Starts a command line as a new process with a window show state; does not wait.
    // Throws RunTimeError when it cannot be started.
    virtual void Launch(TextView commandLine, int showState) = 0;

    // The save dialog, modal to the main window: the chosen path, or nothing when no file
    // was chosen; then SaveDialogError tells a cancel (0) from a failure (its code).
    virtual std::optional<Text> ShowSaveDialog(const SaveRequest& request) = 0;
    virtual uint32_t SaveDialogError() = 0;
    virtual void Beep() = 0;
};

}  // namespace tarnwick

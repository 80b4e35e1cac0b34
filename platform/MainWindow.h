#pragma once
#include "platform/Text.h"

namespace tarnwick {

// The main window itself, `Me` to its handlers: its title and its inner area, in pixels.
class MainWindow {
  public:
    virtual ~MainWindow() = default;
    virtual Text GetCaption() const = 0;
    virtual void SetCaption(TextView caption) = 0;
    virtual float ScaleWidth() const = 0;
    virtual float ScaleHeight() const = 0;
};

}  // namespace tarnwick

#pragma once
#include "platform/EventPump.h"

namespace tarnwick::win32 {

// The message loop run from inside a long operation on the user-interface thread.
class Win32EventPump : public EventPump {
  public:
    int DoEvents() override;
    [[noreturn]] void End() override;
};

}  // namespace tarnwick::win32

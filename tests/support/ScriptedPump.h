#pragma once
// An event pump that plays the user: the test says what happens at each pump.
#include <functional>

#include "platform/EventPump.h"

namespace tarnwick::testing {

struct ProgramEnded {};

class ScriptedPump : public EventPump {
  public:
    int DoEvents() override {
        ++pumps;
        if (onPump) onPump(pumps);
        return windows;
    }
    [[noreturn]] void End() override { throw ProgramEnded{}; }

    int pumps = 0;
    int windows = 1;
    std::function<void(int pump)> onPump;
};

}  // namespace tarnwick::testing

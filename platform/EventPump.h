#pragma once

namespace tarnwick {

// Hands control to the pending window events while a long operation runs.
class EventPump {
  public:
    virtual ~EventPump() = default;

    // Handles every pending window event; gives the number of the program's windows still open.
    virtual int DoEvents() = 0;

    // Ends the program at once: no further event, handler or line follows.
    [[noreturn]] virtual void End() = 0;
};

}  // namespace tarnwick

#pragma once
// The base of the in-memory controls, the native build's stand-ins for the Win32 ones: they
// hold their state, raise notifications synchronously as the Win32 controls do, and let a
// test act as the user.
#include "platform/Controls.h"

namespace tarnwick {

// Place and size; a move to a negative size fails and changes nothing.
template <class Base>
class MemoryControl : public Base {
  public:
    Rect GetRect() const override { return rect_; }
    void Move(Rect r) override {
        if (r.width < 0 || r.height < 0) throw MakeError(error::InvalidPropertyValue);
        rect_ = r;
    }

  private:
    Rect rect_;
};

}  // namespace tarnwick

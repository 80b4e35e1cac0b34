#pragma once
#include "platform/memory/MemoryControl.h"

namespace tarnwick {

class MemoryCheckBox : public MemoryControl<CheckBox> {
  public:
    int16_t GetValue() const override { return value_; }
    void SetValue(int16_t value) override { value_ = value; }

  private:
    int16_t value_ = 0;
};

}  // namespace tarnwick

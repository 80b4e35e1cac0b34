#pragma once
#include "platform/memory/MemoryControl.h"

namespace tarnwick {

class MemoryTextBox : public MemoryControl<TextBox> {
  public:
    Text GetText() const override { return text_; }
    void SetText(TextView text) override {
        text_.assign(text);
        if (onChange) onChange();
    }
    // The user: one notification per typed character.
    void Type(TextView typed) {
        for (char16_t c : typed) SetText(text_ + c);
    }
    void PressKey(int16_t key, int16_t shift = 0) {
        if (onKeyDown) onKeyDown(key, shift);
    }

  private:
    Text text_;
};

}  // namespace tarnwick

#pragma once
#include <algorithm>
#include <vector>

#include "platform/memory/MemoryControl.h"

namespace tarnwick {

class MemoryScrollBar : public MemoryControl<ScrollBar> {
  public:
    int16_t min = 0, max = 32766, smallChange = 1, largeChange = 10;

    int16_t GetValue() const override { return value_; }
    void SetValue(int16_t value) override {
        if (value == value_) return;
        value_ = value;
        if (onChange) onChange();
    }
    // The user: arrows and trough clicks move the value within the range; a drag
    // reports each position while the thumb moves and the last one as a change.
    void LineUp() { Step(-smallChange); }
    void LineDown() { Step(smallChange); }
    void PageUp() { Step(-largeChange); }
    void PageDown() { Step(largeChange); }
    void Drag(std::vector<int16_t> positions) {
        const int16_t start = value_;
        for (int16_t p : positions) {
            value_ = p;
            if (onScroll) onScroll();
        }
        if (value_ != start && onChange) onChange();  // a change only if the thumb moved
    }

  private:
    void Step(int delta) {
        const int v = std::min<int>(max, std::max<int>(min, value_ + delta));
        SetValue(static_cast<int16_t>(v));
    }
    int16_t value_ = 0;
};

}  // namespace tarnwick

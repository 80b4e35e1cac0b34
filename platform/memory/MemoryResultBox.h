#pragma once
// The result box held in memory: the native build's control, and the sink of the benchmarks.
#include <new>

#include "platform/ResultBox.h"
#include "platform/TextStore.h"

namespace tarnwick {

class MemoryResultBox : public ResultBox {
  public:
    bool SetSelText(TextView text) override {
        try {
            text_.ReplaceSelection(text);
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

    TextStore& Store() { return text_; }
    const TextStore& Store() const { return text_; }

  private:
    TextStore text_;
};

}  // namespace tarnwick

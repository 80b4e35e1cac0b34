#pragma once
// The result box held in memory, over the view's text store with no window: the native
// build's control, the box of the Windows /list, and the sink of the benchmarks.
#include <new>

#include "platform/memory/MemoryControl.h"
#include "resultview/model/TextStore.h"

namespace tarnwick {

class MemoryResultBox : public MemoryControl<ResultBox> {
  public:
    Text GetText() const override { return text_.GetText(); }
    void ForEachPiece(const std::function<bool(TextView)>& take) const override {
        text_.ForEachPiece(take);
    }
    void SetText(TextView text) override { text_.SetText(text); }
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

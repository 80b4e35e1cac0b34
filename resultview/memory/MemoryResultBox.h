#pragma once
// The result box held in memory, over the view's text store with no window: the native
// build's control, the box of the Windows /list, and the sink of the benchmarks.
#include <new>

#include "platform/memory/MemoryControl.h"
#include "resultview/model/LineEntries.h"
#include "resultview/model/TextStore.h"

namespace tarnwick {

class MemoryResultBox : public MemoryControl<ResultBox> {
  public:
    Text GetText() const override { return text_.GetText(); }
    void ForEachPiece(const std::function<bool(TextView)>& take) const override {
        text_.ForEachPiece(take);
    }
    void SetText(TextView text) override { entries_.SetText(text_, text); }
    bool SetSelText(TextView text) override {
        return Edited([&] { entries_.ReplaceSelection(text_, text); });
    }
    void BeginListing(TextView root, bool bareNames) override { entries_.Begin(root, bareNames); }
    bool SetSelEntry(TextView text, int32_t level, TextView realName) override {
        return Edited([&] { entries_.ReplaceSelection(text_, text, level, realName); });
    }
    TextStore& Store() { return text_; }
    const TextStore& Store() const { return text_; }
    const LineEntries& Entries() const { return entries_; }

  private:
    template <class Edit>
    static bool Edited(Edit edit) {
        try {
            edit();
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    TextStore text_;
    LineEntries entries_;
};

}  // namespace tarnwick

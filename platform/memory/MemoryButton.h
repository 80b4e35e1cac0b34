#pragma once
#include "platform/memory/MemoryControl.h"

namespace tarnwick {

class MemoryButton : public MemoryControl<Button> {
  public:
    Text GetCaption() const override { return caption_; }
    void SetCaption(TextView caption) override { caption_.assign(caption); }
    void Click() {
        if (onClick) onClick();
    }

  private:
    Text caption_;
};

}  // namespace tarnwick

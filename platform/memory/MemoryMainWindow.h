#pragma once
#include "platform/MainWindow.h"

namespace tarnwick {

class MemoryMainWindow : public MainWindow {
  public:
    Text GetCaption() const override { return caption_; }
    void SetCaption(TextView caption) override { caption_.assign(caption); }
    float ScaleWidth() const override { return width; }
    float ScaleHeight() const override { return height; }
    float width = 593, height = 437;

  private:
    Text caption_;
};

}  // namespace tarnwick

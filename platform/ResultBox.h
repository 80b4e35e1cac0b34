#pragma once
#include "platform/Text.h"

namespace tarnwick {

// The multi-line result box as the walk sees it.
class ResultBox {
  public:
    virtual ~ResultBox() = default;

    // Replaces the selection (or inserts at the caret) and leaves the caret after the new
    // text. False when the box refuses it.
    virtual bool SetSelText(TextView text) = 0;
};

}  // namespace tarnwick

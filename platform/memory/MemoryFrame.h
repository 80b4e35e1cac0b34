#pragma once
#include "platform/memory/MemoryControl.h"

namespace tarnwick {

// Nothing but a place: the handlers only move the frame and read its size.
class MemoryFrame : public MemoryControl<Frame> {};

}  // namespace tarnwick

#pragma once
#include "platform/memory/MemoryControl.h"

namespace tarnwick {

// Nothing but a place: the handlers only move labels.
class MemoryLabel : public MemoryControl<Label> {};

}  // namespace tarnwick

#pragma once
// Every in-memory control, the window and the desktop, for code that assembles or drives
// the whole form (its result box is the result view's: resultview/ResultView.h).
#include "platform/memory/MemoryButton.h"
#include "platform/memory/MemoryCheckBox.h"
#include "platform/memory/MemoryDesktop.h"
#include "platform/memory/MemoryDirList.h"
#include "platform/memory/MemoryDriveList.h"
#include "platform/memory/MemoryFrame.h"
#include "platform/memory/MemoryLabel.h"
#include "platform/memory/MemoryMainWindow.h"
#include "platform/memory/MemoryScrollBar.h"
#include "platform/memory/MemoryTextBox.h"

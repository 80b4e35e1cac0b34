#pragma once
// The result view: the listing's text, held so that an edit or finding a line, a character
// or a word anywhere costs O(log n) (model/), the box that holds it with no window
// (memory/), and on Windows its window, which answers the edit box messages, UI Automation
// and MSAA over that text (win32/). This is all the rest of the program needs of it.
#include "resultview/memory/MemoryResultBox.h"
#include "resultview/model/TextStore.h"

#ifdef _WIN32
#include "resultview/win32/ResultBoxWindow.h"
#endif

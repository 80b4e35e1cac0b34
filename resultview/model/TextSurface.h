#pragma once
// What the accessibility providers ask of whatever shows the text: the text and its
// selection, which lines are in sight, and where a character stands on the screen. The
// window is one such surface; a test can be another, with no window behind it.
#include <cstddef>

#include "resultview/model/TextStore.h"

namespace tarnwick {

struct ScreenPoint {
    long x = 0, y = 0;
};

class TextSurface {
  public:
    virtual const TextStore& Store() const = 0;
    virtual void Select(size_t anchor, size_t caret) = 0;  // and scrolls the caret into view
    virtual void ScrollIntoView(size_t from, size_t to, bool alignToTop) = 0;
    virtual size_t FirstVisibleLine() = 0;
    virtual size_t VisibleLines() const = 0;
    virtual int LineHeight() const = 0;
    // The top left of the character at `pos` on the screen, within the width the lines are
    // drawn in; beyond its line for a line end.
    virtual ScreenPoint ScreenPointOf(size_t pos) = 0;
    // The character boundary nearest a point of the screen, never inside a pair.
    virtual size_t CharAtScreen(ScreenPoint p) = 0;
    virtual bool HasFocus() const = 0;

  protected:
    ~TextSurface() = default;
};

}  // namespace tarnwick

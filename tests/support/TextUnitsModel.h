#pragma once
#include <algorithm>
#include <vector>

#include "resultview/model/TextUnits.h"

namespace tarnwick {

// The range operations as UI Automation defines them, one unit at a time over the
// boundaries the definitions give: what moves by any count must come to.
struct SteppingModel {
    const Text& t;
    TextUnit unit;
    size_t linesPerPage;
    std::vector<bool> b;  // the unit's boundaries at each position, the end included
    size_t n = t.size();

    size_t Next(size_t p) const {
        for (p = std::min(p + 1, n); p < n && !b[p];) ++p;
        return p;
    }
    size_t Previous(size_t p) const {
        for (p = std::min(p, n) - (std::min(p, n) > 0); p > 0 && !b[p];) --p;
        return p;
    }
    bool EmptyUnitAtEnd() const {
        const size_t lines = static_cast<size_t>(std::count(t.begin(), t.end(), u'\n'));
        if (n == 0) return true;
        if (t.back() != u'\n' || unit == TextUnit::Character || unit == TextUnit::Document)
            return false;
        return unit != TextUnit::Page || lines % linesPerPage == 0;
    }
    size_t UnitStart(size_t p) const {
        for (p = std::min(p, n); !b[p];) --p;
        return p == n && unit != TextUnit::Character && !EmptyUnitAtEnd() ? Previous(n) : p;
    }
    int MoveEndpoint(TextSpan& span, bool end, int count) const {
        size_t& point = end ? span.end : span.start;
        point = std::min(point, n);
        int moved = 0;
        for (; moved < count && point < n; ++moved) point = Next(point);
        for (; moved > count && point > 0; --moved) point = Previous(point);
        if (end && span.end < span.start) span.start = span.end;
        if (!end && span.start > span.end) span.end = span.start;
        return moved;
    }
    void Expand(TextSpan& span) const {
        span = {std::min(span.start, n), std::min(span.end, n)};
        if (span.start < span.end && UnitStart(span.start) == span.start && b[span.end]) return;
        const size_t start = UnitStart(span.start);
        span = {start, start == n ? n : Next(start)};
    }
    int Move(TextSpan& span, int count) const {
        if (count == 0) return 0;
        if (span.start >= span.end) {
            TextSpan point{std::min(span.start, n), std::min(span.start, n)};
            const int moved = MoveEndpoint(point, false, count);
            span = {point.start, point.start};
            return moved;
        }
        size_t at = UnitStart(span.start);
        int moved = 0;
        for (; moved < count && Next(at) != at && (Next(at) < n || EmptyUnitAtEnd()); ++moved)
            at = Next(at);
        for (; moved > count && at > 0; --moved) at = Previous(at);
        if (moved != 0) span = {at, at == n ? n : Next(at)};
        return moved;
    }
};

}  // namespace tarnwick

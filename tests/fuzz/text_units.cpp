// The text units' boundaries and range moves, by counts from one to INT_MIN and INT_MAX,
// against a model that steps one boundary at a time over the plain string.
#include <climits>

#include "resultview/model/TextBoundaries.h"
#include "tests/fuzz/FuzzText.h"
#include "tests/support/TextUnitsModel.h"

namespace tarnwick::fuzz {
namespace {

// Each unit's boundaries as TextUnits.h and TextBoundaries.h define them.
std::vector<bool> Boundaries(const Text& t, TextUnit unit, size_t linesPerPage) {
    std::vector<bool> b(t.size() + 1, false);
    b[0] = b[t.size()] = true;
    for (size_t i = 1, line = 0; i < t.size(); ++i) {
        const bool lineStart = t[i - 1] == u'\n';
        line += lineStart;
        if (unit == TextUnit::Character) b[i] = StartsCharacter(t[i - 1], t[i]);
        if (unit == TextUnit::Word || unit == TextUnit::Format) b[i] = StartsWord(t[i - 1], t[i]);
        if (unit == TextUnit::Line || unit == TextUnit::Paragraph) b[i] = lineStart;
        if (unit == TextUnit::Page) b[i] = lineStart && line % linesPerPage == 0;
    }
    return b;
}

}  // namespace
}  // namespace tarnwick::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tarnwick;
    using namespace tarnwick::fuzz;
    if (size < 2) return 0;
    // The text, edited once so that the tree of tiny leaves is not only SetText's shape.
    const size_t textSize = std::min<size_t>(data[0], size - 2), cut = textSize / 2;
    const size_t page = 1 + data[1] % 4;
    TextStore store({.leafChars = 3, .fanOut = 3});
    store.SetText(ToText(data + 2 + cut, textSize - cut));
    store.ReplaceSelection(ToText(data + 2, cut));
    const Text t = store.GetText();
    const TextUnits units(store, page);
    std::vector<SteppingModel> models;
    for (int u = 0; u <= static_cast<int>(TextUnit::Document); ++u)
        models.push_back({t, TextUnit(u), page, Boundaries(t, TextUnit(u), page)});
    constexpr int kCounts[] = {INT_MIN, INT_MIN + 1, -1000, -3, -2,   -1,          0,
                               1,       2,           3,     7,  1000, INT_MAX - 1, INT_MAX};
    // Then operations of five bytes: unit and operation, count, start, end.
    for (const uint8_t* op = data + 2 + textSize; op + 4 < data + size; op += 5) {
        const SteppingModel& model = models[op[0] % models.size()];
        const TextUnit unit = model.unit;
        const int count = kCounts[op[1] % std::size(kCounts)];
        const TextSpan from{op[2] * (t.size() + 2) / 255, op[3] * (t.size() + 2) / 255};
        TextSpan mine = from, expected = from;
        int moved = 0, modelMoved = 0;
        switch (op[0] / models.size() % 4) {
            case 0:
                moved = units.Move(mine, unit, count), modelMoved = model.Move(expected, count);
                break;
            case 1:
            case 2: {
                const bool end = op[0] / models.size() % 4 == 2;
                moved = units.MoveEndpoint(mine, end, unit, count);
                modelMoved = model.MoveEndpoint(expected, end, count);
                break;
            }
            default:
                units.ExpandToEnclosingUnit(mine, unit), model.Expand(expected);
        }
        FUZZ_CHECK(mine == expected && moved == modelMoved);
        const size_t pos = std::min(from.start, t.size());
        FUZZ_CHECK(units.IsBoundary(unit, pos) == model.b[pos]);
        FUZZ_CHECK(units.Next(unit, from.start) == model.Next(from.start));
        FUZZ_CHECK(units.Previous(unit, from.start) == model.Previous(from.start));
    }
    return 0;
}

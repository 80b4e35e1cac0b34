#include <gtest/gtest.h>

#include "tests/listing/WalkFixture.h"

namespace tarnwick::testing {
namespace {

TEST_F(WalkTest, ValidateLevelsBringsTheDepthIntoRange) {
    const std::pair<int32_t, int32_t> cases[] = {
        {0, 1},         {-3, 1},        {1, 1},         {2, 2},
        {32767, 32767}, {32768, 32767}, {40000, 32767}, {INT32_MAX, 32767},
        {INT32_MIN, 1},
    };
    for (auto [given, expected] : cases) {
        form.Levels = given;
        form.ValidateLevels();
        EXPECT_EQ(form.Levels, expected) << "from " << given;
    }
}

TEST_F(WalkTest, FieldsStartAtZero) {
    EXPECT_EQ(form.Levels, 0);
    EXPECT_EQ(form.DirAttr, 0);
    EXPECT_EQ(form.SkipChange | form.NoPath | form.DirsOnly | form.StopRequested | form.Running, 0);
}

}  // namespace
}  // namespace tarnwick::testing

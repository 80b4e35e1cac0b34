#include "listing/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tarnwick {
namespace {

TEST(LeadingNumber, ReadsTheLongestLeadingNumber) {
    const std::pair<const char16_t*, double> cases[] = {
        {u"", 0},          {u"abc", 0},         {u"0", 0},
        {u"-3", -3},       {u"40000", 40000},   {u"2.5", 2.5},
        {u"12abc", 12},    {u" 7", 7},          {u"1 0", 10},
        {u"1\t0\n0", 100}, {u"1e3", 1000},      {u"1E+2x", 100},
        {u"2e", 2},        {u"2e-", 2},         {u".5", 0.5},
        {u"1.2.3", 1.2},   {u"+4", 4},          {u"-", 0},
        {u"&H10", 16},     {u"&h1f", 31},       {u"&O17", 15},
        {u"&HFFFF", -1},   {u"&H10000", 65536}, {u"&H10000000000000001", 18446744073709551617.0},
        {u"&H", 0},        {u"１２", 0},        {u"3，5", 3},
        {u"1,5", 1},
    };
    for (auto [text, expected] : cases) {
        EXPECT_DOUBLE_EQ(Val(text), expected) << std::u16string(text).size();
    }
}

TEST(LeadingNumber, HugeAndTinyNumbersDoNotFail) {
    EXPECT_TRUE(std::isinf(Val(u"1e999")));
    EXPECT_TRUE(std::isinf(Val(u"-1e999")) && Val(u"-1e999") < 0);
    EXPECT_EQ(Val(u"1e-999"), 0);
    EXPECT_TRUE(std::isinf(Val(std::u16string(400, u'9'))));
    // Where the digits stand decides, not only the exponent.
    const std::u16string zeros(400, u'0');
    EXPECT_EQ(Val(u"0." + zeros + u"1"), 0);
    EXPECT_EQ(Val(u"-." + zeros + u"1e5"), 0);
    EXPECT_TRUE(std::isinf(Val(u"0." + zeros + u"1e800")));
    EXPECT_TRUE(std::isinf(Val(u"1" + zeros + u"e-50")));
    EXPECT_EQ(Val(u"1" + zeros + u"e-800"), 0);
    EXPECT_EQ(Val(u"0" + zeros + u"." + zeros + u"1"), 0);
}

TEST(RoundToLong, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(ToLong(1.5), 2);
    EXPECT_EQ(ToLong(2.5), 2);
    EXPECT_EQ(ToLong(3.5), 4);
    EXPECT_EQ(ToLong(0.5), 0);
    EXPECT_EQ(ToLong(-0.5), 0);
    EXPECT_EQ(ToLong(-1.5), -2);
    EXPECT_EQ(ToLong(2.4999), 2);
}

TEST(RoundToLong, ValuesBeyondThe32BitRangeClamp) {
    EXPECT_EQ(ToLong(1e10), INT32_MAX);
    EXPECT_EQ(ToLong(-1e10), INT32_MIN);
    EXPECT_EQ(ToLong(Val(std::u16string(500, u'9'))), INT32_MAX);
    EXPECT_EQ(ToLong(std::nan("")), 0);
}

TEST(GeneralNumberFormat, WholeNumbersAsDigitsOthersWithFifteenDigits) {
    EXPECT_EQ(GeneralNumber(32768), u"32768");
    EXPECT_EQ(GeneralNumber(-5), u"-5");
    EXPECT_EQ(GeneralNumber(3.5), u"3.5");
    EXPECT_EQ(GeneralNumber(0.1 + 0.2), u"0.3");
    EXPECT_EQ(GeneralNumber(1e20), u"1E+20");
}

}  // namespace
}  // namespace tarnwick

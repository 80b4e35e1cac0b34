#include "platform/native/Utf8.h"

#include <gtest/gtest.h>

namespace tarnwick::native {
namespace {

TEST(Utf8Names, ValidNamesConvertBothWays) {
    const std::string bytes = "plain 文件夹 \xF0\x9F\x93\x81";
    const Text text = ToUtf16(bytes);
    EXPECT_EQ(text, u"plain 文件夹 \U0001F4C1");
    EXPECT_EQ(ToBytes(text), bytes);
}

TEST(Utf8Names, EveryByteSequenceSurvivesTheRoundTrip) {
    const std::string cases[] = {
        "\xff",
        "a\x80z",
        "\xc3",
        "\xc3(",
        "\xe2\x82",
        "\xed\xa0\x80",
        "\xc0\xaf",
        "\xf4\x90\x80\x80",
        "\xf0\x9f\x93",
        "\xed\xb2\x80ok",
        std::string("\x00x", 2),
    };
    for (const std::string& bytes : cases) {
        EXPECT_EQ(ToBytes(ToUtf16(bytes)), bytes);
    }
    std::string all;
    for (int i = 1; i < 256; ++i) all += static_cast<char>(i);
    EXPECT_EQ(ToBytes(ToUtf16(all)), all);
}

TEST(Utf8Names, InvalidBytesBecomeLoneLowSurrogates) {
    EXPECT_EQ(ToUtf16("a\xffz"), u"a\xdcffz");
    // An encoded surrogate is not valid UTF-8 either: each of its bytes is escaped.
    EXPECT_EQ(ToUtf16("\xed\xa0\x80"), u"\xdced\xdca0\xdc80");
}

}  // namespace
}  // namespace tarnwick::native

// Code page 936 by table against iconv over the whole text, as the save converted before.
#include <gtest/gtest.h>
#include <iconv.h>

#include "platform/Ansi.h"
#include "platform/native/NativeAnsi.h"

namespace tarnwick::native {
namespace {

std::optional<std::string> ByIconv(TextView text, const char* to = "CP936") {
    const iconv_t cd = iconv_open(to, "UTF-16LE");
    std::string out(text.size() * 4 + 4, '\0');
    auto* in = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
    size_t inLeft = text.size() * 2, outLeft = out.size();
    char* o = out.data();
    const size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || inLeft) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

// Every unit, between ASCII runs, so that the runs taken eight at a time meet each one.
TEST(NativeAnsi, EveryCharacterConvertsAsIconvConvertsIt) {
    std::string room(64, '\0');
    for (unsigned u = 0; u < 0x10000; ++u) {
        const Text text = u"a/" + Text(1, static_cast<char16_t>(u)) + u"/0123456789.txt\r\n";
        const auto expected = ByIconv(text);
        ASSERT_EQ(ToCodePageExactly(text, 936), expected) << std::hex << u;
        const auto n = ToAnsiReversibly(text, room.data());
        if (!n) continue;  // one that iconv lacks, or can't turn back (glibc has none)
        ASSERT_EQ(room.substr(0, *n), expected) << std::hex << u;
        Text back;
        AppendFromAnsi(room.substr(0, *n), back);
        ASSERT_EQ(back, text) << std::hex << u;
    }
}

TEST(NativeAnsi, APairOrALoneHalfIsNeverHeldAndOtherCodePagesStillConvert) {
    char room[64];
    for (TextView text : {TextView(u"照片\U0001F4C1.jpg"), TextView(u"x\xDC80y")}) {
        EXPECT_EQ(ToCodePageExactly(text, 936), std::nullopt);
        EXPECT_EQ(ToAnsiReversibly(text, room), std::nullopt);
    }
    EXPECT_EQ(ToCodePageExactly(u"文件\U0001F4C1", kUtf8CodePage),
              ByIconv(u"文件\U0001F4C1", "UTF-8"));
    EXPECT_EQ(ToCodePageExactly(u"Grüße €", 1252), ByIconv(u"Grüße €", "CP1252"));
}

}  // namespace
}  // namespace tarnwick::native

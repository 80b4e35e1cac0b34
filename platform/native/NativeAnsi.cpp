#include <iconv.h>

#include <string>

#include "platform/Ansi.h"
#include "platform/native/Utf8.h"

namespace tarnwick {

uint32_t AnsiCodePage() {
    return 936;
}

std::optional<std::string> ToCodePageExactly(TextView text, uint32_t codePage) {
    const std::string name = codePage == kUtf8CodePage ? "UTF-8" : "CP" + std::to_string(codePage);
    std::string out(text.size() * 3 + 16, '\0');  // before the open: nothing throws till the close
    const iconv_t cd = iconv_open(name.c_str(), "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    auto* in = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
    size_t inLeft = text.size() * 2;
    char* o = out.data();
    size_t outLeft = out.size();
    // Without //TRANSLIT, a character the code page lacks (or a lone surrogate) stops it.
    const size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

std::string ToUtf8(TextView text) {
    return native::ToBytes(text);
}

}  // namespace tarnwick

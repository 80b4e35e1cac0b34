#pragma once
// UTF-8 file names to the program's UTF-16 and back. A byte that is not part of valid
// UTF-8 becomes a lone low surrogate (U+DC80 to U+DCFF) and turns back into that very
// byte, so every name the file system gives can be shown and opened again.
#include <string>

#include "platform/Text.h"

namespace tarnwick::native {

void AppendUtf16(std::string_view bytes, Text& out);
void AppendBytes(TextView text, std::string& out);

inline Text ToUtf16(std::string_view bytes) {
    Text out;
    AppendUtf16(bytes, out);
    return out;
}
inline std::string ToBytes(TextView text) {
    std::string out;
    AppendBytes(text, out);
    return out;
}

}  // namespace tarnwick::native

#pragma once
// Fuzz input as text: each byte one code unit, those from 0x80 on standing for units far
// from ASCII (full-width forms, Chinese, surrogates) so that every kind is reachable.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "platform/Text.h"

namespace tarnwick::fuzz {

inline char16_t Unit(uint8_t byte) {
    if (byte < 0x80) return byte;
    static constexpr char16_t kFar[] = {0xFF10, 0xFF0E, 0x3000, 0x6587, 0xD83D, 0xDE00, 0xDC80,
                                        0x240A, 0x3002, 0xFF0C, 0x00E9, 0xFFFF, 0x2026, 0x4E00};
    return byte < 0x80 + std::size(kFar) ? kFar[byte - 0x80] : static_cast<char16_t>(byte + 0x4E00);
}

inline Text ToText(const uint8_t* data, size_t size) {
    Text t(size, u'\0');
    for (size_t i = 0; i < size; ++i) t[i] = Unit(data[i]);
    return t;
}

// A disagreement with the reference: libFuzzer keeps the input that made it.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: %s does not hold\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

}  // namespace tarnwick::fuzz

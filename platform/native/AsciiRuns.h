#pragma once
// Runs of ASCII copied between UTF-16 and bytes 16 characters at a time, as most of a
// listing's paths are: how many were copied, a multiple of 16; the caller takes the rest
// (and whatever is not ASCII) one at a time.
#include <cstddef>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tarnwick::native {

inline size_t NarrowAscii(const char16_t* in, size_t n, char* out) {
    size_t done = 0;
#ifdef __SSE2__
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
    for (; n - done >= 16; done += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done + 8));
        const __m128i beyond = _mm_and_si128(_mm_or_si128(a, b), high);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(beyond, _mm_setzero_si128())) != 0xFFFF) break;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done), _mm_packus_epi16(a, b));
    }
#else
    (void)in, (void)n, (void)out;
#endif
    return done;
}

inline size_t WidenAscii(const char* in, size_t n, char16_t* out) {
    size_t done = 0;
#ifdef __SSE2__
    for (; n - done >= 16; done += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done));
        if (_mm_movemask_epi8(a) != 0) break;
        const __m128i zero = _mm_setzero_si128();
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done), _mm_unpacklo_epi8(a, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done + 8), _mm_unpackhi_epi8(a, zero));
    }
#else
    (void)in, (void)n, (void)out;
#endif
    return done;
}

}  // namespace tarnwick::native

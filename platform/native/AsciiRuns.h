#pragma once
// The run of ASCII at the start of a text, copied between UTF-16 and bytes eight characters
// at a time, as most of a listing's paths are: how long it is. Whatever follows is the
// caller's, one character at a time. Up to seven characters past the run may be written
// too, within the room of the text's own length.
#include <cstddef>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tarnwick::native {

inline size_t NarrowAscii(const char16_t* in, size_t n, char* out) {
    size_t done = 0;
#ifdef __SSE2__
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
    for (; n - done >= 8; done += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done));
        const int ascii =
            _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(a, high), _mm_setzero_si128()));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + done), _mm_packus_epi16(a, a));
        if (ascii != 0xFFFF) return done + static_cast<size_t>(__builtin_ctz(~ascii)) / 2;
    }
#endif
    for (; done < n && in[done] < 0x80; ++done) out[done] = static_cast<char>(in[done]);
    return done;
}

inline size_t WidenAscii(const char* in, size_t n, char16_t* out) {
    size_t done = 0;
#ifdef __SSE2__
    for (; n - done >= 8; done += 8) {
        const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + done));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done),
                         _mm_unpacklo_epi8(a, _mm_setzero_si128()));
        const int beyond = _mm_movemask_epi8(a) & 0xFF;
        if (beyond) return done + static_cast<size_t>(__builtin_ctz(beyond));
    }
#endif
    for (; done < n && static_cast<unsigned char>(in[done]) < 0x80; ++done) out[done] = in[done];
    return done;
}

}  // namespace tarnwick::native

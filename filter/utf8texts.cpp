#include "utf8texts.h"

#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace utf8texts {

// Sixteen bytes at a time while they lie before `end`.
qsizetype terminatedLength(const char *s, const char *end, bool *ascii)
{
    const char *p = s;
    uint high = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const uint nul = uint(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero)));
        const uint top = uint(_mm_movemask_epi8(bytes));
        if (nul) {
            const int at = __builtin_ctz(nul);
            *ascii = !(high | (top & ((1u << at) - 1)));
            return (p - s) + at;
        }
        high |= top;
    }
#endif
    for (; p < end && *p; ++p)
        high |= uchar(*p) & 0x80;
    *ascii = !high;
    return p - s;
}

} // namespace utf8texts

// The text gate's vector loops: sixteen bytes a step (SSE2), or thirty-two
// where the processor has AVX2, looking for the NUL that ends the text, for
// bytes outside ASCII and for the three characters of each probe at their
// distances, in one load of the text and three more per probe. A probe's
// characters may lie beyond the text's end; what they find there only sends
// the text on to the full search.
#include "textgate.h"

#include "../utf8texts.h"

#include <algorithm>

#ifdef __x86_64__
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace matcher {

bool TextGate::addList(const std::vector<const Needle *> &needles)
{
    if (m_lists == kLists || needles.empty() || needles.size() > size_t(kNeedles))
        return false;
    List list;
    for (const Needle *needle : needles) {
        if (needle->keyCount() == 0 || !needle->isAscii())
            return false;
        Probe &probe = list.probes[list.count++];
        for (int k = 0; k < kKeys; ++k) {
            // A needle of fewer characters checks its last again.
            const Needle::Unit &unit = needle->key(std::min(k, needle->keyCount() - 1));
            probe.offset[k] = unit.offset;
            probe.ch[k] = char(unit.ch);
        }
    }
    for (int p = 0; p < list.count; ++p) {
        for (int k = 0; k < kKeys; ++k)
            m_reach = std::max(m_reach, list.probes[p].offset[k]);
    }
    // A list of fewer needles repeats its first where the scan looks for more.
    for (int p = list.count; p < kNeedles; ++p)
        list.probes[p] = list.probes[0];
    m_list[m_lists++] = list;
    chooseScan();
    return true;
}

namespace {

// What one step of the walk found, a bit for each of its bytes: the NUL
// bytes, the bytes outside ASCII, and for each list the starts of its
// needles' three characters.
template<int Lists>
struct StepBits
{
    quint32 nul;
    quint32 top;
    quint32 hits[Lists];
};

// The walk over a text, `Width` bytes a step, the step's bits from
// `step(p)`; inlined into each vector loop, so that the AVX2 loop's step is
// compiled into it.
template<int Lists, int Width, typename Step>
__attribute__((always_inline)) inline qsizetype walkSteps(const char *s, const char *end, int reach, bool *ascii,
                                                          bool *mayPass, const Step &step)
{
    const char *p = s;
    quint32 high = 0;
    quint32 found[Lists] = {};
    for (; end - p >= Width + reach; p += Width) {
        const StepBits<Lists> bits = step(p);
        // Needles start within the text, before its NUL.
        const quint32 starts = bits.nul ? (quint32(1) << __builtin_ctz(bits.nul)) - 1 : ~quint32(0);
        for (int l = 0; l < Lists; ++l)
            found[l] |= bits.hits[l] & starts;
        if (bits.nul) {
            *ascii = !(high | (bits.top & starts));
            bool all = true;
            for (int l = 0; l < Lists; ++l)
                all = all && found[l];
            *mayPass = all;
            return (p - s) + __builtin_ctz(bits.nul);
        }
        high |= bits.top;
    }
    // Too near the end of the texts to look ahead: the rest without the
    // pre-check.
    bool restAscii = false;
    const qsizetype rest = utf8texts::terminatedLength(p, end, &restAscii);
    *ascii = !high && restAscii;
    *mayPass = true;
    return (p - s) + rest;
}

} // namespace

qsizetype TextGate::length(const char *s, const char *end, bool *ascii, bool *mayPass) const
{
    return (this->*m_scan)(s, end, ascii, mayPass);
}

void TextGate::chooseScan()
{
    const bool two = m_list[0].count == 2 || (m_lists == 2 && m_list[1].count == 2);
#ifdef __x86_64__
    if (hasAvx2()) {
        if (m_lists == 1)
            m_scan = two ? &TextGate::scanWide<1, 2> : &TextGate::scanWide<1, 1>;
        else
            m_scan = two ? &TextGate::scanWide<2, 2> : &TextGate::scanWide<2, 1>;
        return;
    }
#endif
    if (m_lists == 1)
        m_scan = two ? &TextGate::scan<1, 2> : &TextGate::scan<1, 1>;
    else
        m_scan = two ? &TextGate::scan<2, 2> : &TextGate::scan<2, 1>;
}

template<int Lists, int Needles>
TextGate::Offsets<Lists, Needles> TextGate::offsets() const
{
    Offsets<Lists, Needles> o;
    for (int l = 0; l < Lists; ++l) {
        for (int n = 0; n < Needles; ++n) {
            for (int k = 0; k < keysOf(Needles); ++k)
                o.at[l][n][k] = m_list[l].probes[n].offset[k];
        }
    }
    return o;
}

// The numbers of lists and of needles a list are fixed here, so that the
// loop holds every character it looks for in a register.
template<int Lists, int Needles>
qsizetype TextGate::scan(const char *s, const char *end, bool *ascii, bool *mayPass) const
{
#ifdef __SSE2__
    constexpr int Keys = keysOf(Needles);
    const Offsets<Lists, Needles> offsetsOf = offsets<Lists, Needles>();
    const auto &offset = offsetsOf.at;
    __m128i want[Lists][Needles][Keys];
    for (int l = 0; l < Lists; ++l) {
        for (int n = 0; n < Needles; ++n) {
            for (int k = 0; k < Keys; ++k)
                want[l][n][k] = _mm_set1_epi8(m_list[l].probes[n].ch[k]);
        }
    }
    const auto load = [](const char *at) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(at)); };
    return walkSteps<Lists, 16>(s, end, m_reach, ascii, mayPass, [&](const char *p) {
        const __m128i bytes = load(p);
        StepBits<Lists> bits;
        bits.nul = quint32(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_setzero_si128())));
        bits.top = quint32(_mm_movemask_epi8(bytes));
        for (int l = 0; l < Lists; ++l) {
            __m128i hits = _mm_setzero_si128();
            for (int n = 0; n < Needles; ++n) {
                __m128i all = _mm_cmpeq_epi8(load(p + offset[l][n][0]), want[l][n][0]);
                for (int k = 1; k < Keys; ++k)
                    all = _mm_and_si128(all, _mm_cmpeq_epi8(load(p + offset[l][n][k]), want[l][n][k]));
                hits = _mm_or_si128(hits, all);
            }
            bits.hits[l] = quint32(_mm_movemask_epi8(hits));
        }
        return bits;
    });
#else
    *mayPass = true;
    return utf8texts::terminatedLength(s, end, ascii);
#endif
}

#ifdef __x86_64__
template<int Lists, int Needles>
__attribute__((target("avx2"))) qsizetype TextGate::scanWide(const char *s, const char *end, bool *ascii,
                                                             bool *mayPass) const
{
    constexpr int Keys = keysOf(Needles);
    const Offsets<Lists, Needles> offsetsOf = offsets<Lists, Needles>();
    const auto &offset = offsetsOf.at;
    __m256i want[Lists][Needles][Keys];
    for (int l = 0; l < Lists; ++l) {
        for (int n = 0; n < Needles; ++n) {
            for (int k = 0; k < Keys; ++k)
                want[l][n][k] = _mm256_set1_epi8(m_list[l].probes[n].ch[k]);
        }
    }
    // (Through a pointer: a function that returns a 256-bit vector would
    // change the ABI.)
    const auto at = [](const char *p) { return reinterpret_cast<const __m256i *>(p); };
    return walkSteps<Lists, 32>(s, end, m_reach, ascii, mayPass, [&](const char *p) __attribute__((target("avx2"))) {
        const __m256i bytes = _mm256_loadu_si256(at(p));
        StepBits<Lists> bits;
        bits.nul = quint32(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, _mm256_setzero_si256())));
        bits.top = quint32(_mm256_movemask_epi8(bytes));
        for (int l = 0; l < Lists; ++l) {
            __m256i hits = _mm256_setzero_si256();
            for (int n = 0; n < Needles; ++n) {
                __m256i all = _mm256_cmpeq_epi8(_mm256_loadu_si256(at(p + offset[l][n][0])), want[l][n][0]);
                for (int k = 1; k < Keys; ++k)
                    all = _mm256_and_si256(all, _mm256_cmpeq_epi8(_mm256_loadu_si256(at(p + offset[l][n][k])), want[l][n][k]));
                hits = _mm256_or_si256(hits, all);
            }
            bits.hits[l] = quint32(_mm256_movemask_epi8(hits));
        }
        return bits;
    });
}
#endif

} // namespace matcher

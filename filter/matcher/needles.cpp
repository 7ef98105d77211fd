// The literal pre-checks: the choice of a needle's rarest characters and the
// vector loops (SSE2 everywhere on x86-64, AVX2 where the processor has it)
// that look for them.
#include "needles.h"

#ifdef __x86_64__
#include <immintrin.h>
#endif

#include <algorithm>
#include <cstring>

namespace matcher {

namespace {

// A rough frequency of `c` in record texts: the needle is looked for by its
// rarest character, so that fewer candidates need a full comparison.
int commonness(ushort c)
{
    if (c == ' ')
        return 100;
    if (c >= '0' && c <= '9')
        return 60;
    if (c >= 'a' && c <= 'z') {
        static const char order[] = "etaoinsrhldcumfpgwybvkxjqz";
        return 50 - int(std::strchr(order, c) - order);
    }
    switch (c) {
    // Every record holds these several times: "[k] <a,b,c,d,e> [s] ".
    case '[': case ']': case '<': case '>': case ',': return 55;
    case '/': return 50;
    case '-': case '.': case ':': case '_': return 30;
    default: break;
    }
    if (c >= 'A' && c <= 'Z')
        return 10;
    return 5;
}

// The vector operations for one unit type: 16-bit units or bytes.
#ifdef __SSE2__
template<typename T>
inline __m128i set1Narrow(ushort c)
{
    if constexpr (sizeof(T) == 1)
        return _mm_set1_epi8(char(c));
    else
        return _mm_set1_epi16(short(c));
}

template<typename T>
inline __m128i equalNarrow(__m128i a, __m128i b)
{
    if constexpr (sizeof(T) == 1)
        return _mm_cmpeq_epi8(a, b);
    else
        return _mm_cmpeq_epi16(a, b);
}
#endif

#ifdef __x86_64__
template<typename T>
__attribute__((target("avx2"))) inline __m256i set1Wide(ushort c)
{
    if constexpr (sizeof(T) == 1)
        return _mm256_set1_epi8(char(c));
    else
        return _mm256_set1_epi16(short(c));
}

template<typename T>
__attribute__((target("avx2"))) inline __m256i equalWide(__m256i a, __m256i b)
{
    if constexpr (sizeof(T) == 1)
        return _mm256_cmpeq_epi8(a, b);
    else
        return _mm256_cmpeq_epi16(a, b);
}

#endif

// Bits of `bits` for starts from `skip` on, of a step of starts that
// begins `skip` starts before the first one not yet done.
template<typename T>
inline quint32 fromStart(quint32 bits, qsizetype skip)
{
    return bits & quint32(~((quint64(1) << (sizeof(T) * size_t(skip))) - 1));
}

const ushort *units(QStringView hay)
{
    return reinterpret_cast<const ushort *>(hay.utf16());
}

} // namespace

bool hasAvx2()
{
#ifdef __x86_64__
    // VREL_NO_AVX2 keeps to the SSE2 loops, which the tests then cover on
    // processors with AVX2 as well.
    static const bool avx2 = __builtin_cpu_supports("avx2") && qEnvironmentVariableIsEmpty("VREL_NO_AVX2");
    return avx2;
#else
    return false;
#endif
}

Needle::Needle(const QString &text)
{
    std::vector<Unit> units;
    for (int i = 0; i < text.size(); ++i)
        units.push_back({i, text.at(i).unicode()});
    *this = Needle(units);
}

Needle::Needle(std::vector<Unit> units)
    : m_units(std::move(units))
{
    for (const Unit &u : m_units) {
        m_span = std::max(m_span, u.offset + 1);
        m_ascii = m_ascii && u.ch < 0x80;
    }
    // Keys: the rarest units, each of a character no earlier key has
    // (while there are such), so that "[f]" is told from "[s]".
    std::vector<bool> taken(m_units.size(), false);
    while (m_keys < int(std::size(m_key)) && m_keys < int(m_units.size())) {
        int best = -1;
        int bestScore = 1 << 30;
        for (size_t i = 0; i < m_units.size(); ++i) {
            if (taken[i])
                continue;
            bool repeated = false;
            for (int k = 0; k < m_keys; ++k)
                repeated = repeated || m_key[k].ch == m_units[i].ch;
            const int score = commonness(m_units[i].ch) + (repeated ? 1000 : 0);
            if (score < bestScore) {
                bestScore = score;
                best = int(i);
            }
        }
        taken[size_t(best)] = true;
        m_key[m_keys++] = m_units[size_t(best)];
    }
    m_keysCoverAll = m_keys == int(m_units.size());
}

qsizetype Needle::find(QStringView hay, qsizetype from) const
{
    return findIn(units(hay), hay.size(), from);
}

qsizetype Needle::find(AsciiView hay, qsizetype from) const
{
    if (!m_ascii)
        return -1;
    return findIn(hay.data, hay.size, from);
}

template<typename T>
qsizetype Needle::findIn(const T *h, qsizetype n, qsizetype from) const
{
    switch (m_keys) {
    case 0: return from <= n ? from : -1;
    case 1: return findWith<T, 1>(h, n, from);
    case 2: return findWith<T, 2>(h, n, from);
    default: return findWith<T, 3>(h, n, from);
    }
}

template<typename T>
bool Needle::equalAt(const T *h, qsizetype start, bool keysSeen) const
{
    if (m_keysCoverAll && keysSeen)
        return true;
    for (const Unit &u : m_units) {
        if (h[start + u.offset] != u.ch)
            return false;
    }
    return true;
}

template<typename T>
qsizetype Needle::firstOf(quint32 bits, const T *h, qsizetype from, bool keysSeen) const
{
    while (bits) {
        const int bit = __builtin_ctz(bits);
        const qsizetype start = from + bit / int(sizeof(T));
        if (equalAt(h, start, keysSeen))
            return start;
        bits &= ~(quint32((1u << sizeof(T)) - 1) << bit); // every byte of the unit
    }
    return -1;
}

template<typename T, int K>
qsizetype Needle::findWith(const T *h, qsizetype n, qsizetype from) const
{
    const qsizetype last = n - m_span;
#ifdef __x86_64__
    const qsizetype at = hasAvx2() ? scanWide<T, K>(h, &from, last) : scanNarrow<T, K>(h, &from, last);
#else
    const qsizetype at = scanNarrow<T, K>(h, &from, last);
#endif
    if (at >= 0)
        return at;
    for (; from <= last; ++from) {
        bool keys = true;
        for (int k = 0; k < K; ++k)
            keys = keys && h[from + m_key[k].offset] == m_key[k].ch;
        if (keys && equalAt(h, from, true))
            return from;
    }
    return -1;
}

// The steps of either vector width: `hits(f)` marks the candidate starts
// among the kStep starts from f. Inlined into each vector loop, so that the
// AVX2 loop's `hits` is compiled into it.
template<typename T, qsizetype kStep, typename Hits>
__attribute__((always_inline)) inline qsizetype Needle::scanSteps(const T *h, qsizetype *from, qsizetype last,
                                                                   const Hits &hits) const
{
    qsizetype f = *from;
    for (; f + kStep - 1 <= last; f += kStep) {
        const quint32 bits = hits(f);
        if (bits) {
            const qsizetype at = firstOf(bits, h, f);
            if (at >= 0)
                return at;
        }
    }
    // The rest in one last step that ends at `last`, overlapping what
    // was done; starts before f are masked off.
    if (f <= last && last >= kStep - 1) {
        const qsizetype g = last - (kStep - 1);
        const quint32 bits = fromStart<T>(hits(g), f - g);
        f = last + 1;
        if (bits) {
            const qsizetype at = firstOf(bits, h, g);
            if (at >= 0)
                return at;
        }
    }
    *from = f;
    return -1;
}

template<typename T, int K>
qsizetype Needle::scanNarrow(const T *h, qsizetype *from, qsizetype last) const
{
#ifdef __SSE2__
    constexpr qsizetype kStep = 16 / sizeof(T);
    __m128i want[K];
    for (int k = 0; k < K; ++k)
        want[k] = set1Narrow<T>(m_key[k].ch);
    const auto hits = [&](qsizetype f) {
        __m128i hit = equalNarrow<T>(_mm_loadu_si128(reinterpret_cast<const __m128i *>(h + f + m_key[0].offset)), want[0]);
        for (int k = 1; k < K; ++k)
            hit = _mm_and_si128(hit, equalNarrow<T>(_mm_loadu_si128(reinterpret_cast<const __m128i *>(h + f + m_key[k].offset)), want[k]));
        return quint32(_mm_movemask_epi8(hit));
    };
    return scanSteps<T, kStep>(h, from, last, hits);
#else
    Q_UNUSED(h);
    Q_UNUSED(from);
    Q_UNUSED(last);
#endif
    return -1;
}

#ifdef __x86_64__
template<typename T, int K>
__attribute__((target("avx2"))) qsizetype Needle::scanWide(const T *h, qsizetype *from, qsizetype last) const
{
    constexpr qsizetype kStep = 32 / sizeof(T);
    __m256i want[K];
    for (int k = 0; k < K; ++k)
        want[k] = set1Wide<T>(m_key[k].ch);
    const auto hits = [&](qsizetype f) __attribute__((target("avx2"))) {
        __m256i hit = equalWide<T>(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(h + f + m_key[0].offset)), want[0]);
        for (int k = 1; k < K; ++k)
            hit = _mm256_and_si256(hit, equalWide<T>(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(h + f + m_key[k].offset)), want[k]));
        return quint32(_mm256_movemask_epi8(hit));
    };
    return scanSteps<T, kStep>(h, from, last, hits);
}
#endif

void NeedleSet::Groups::add(const Needle *needle)
{
    if (needles.size() % kGroup == 0)
        spans.push_back(0);
    spans.back() = std::max(spans.back(), needle->m_span);
    needles.push_back(needle);
    keys.push_back({needle->m_key[0], needle->m_key[needle->m_keys > 1 ? 1 : 0]});
}

NeedleSet::NeedleSet(std::vector<const Needle *> needles)
{
    for (const Needle *needle : needles) {
        m_all.add(needle);
        if (needle->isAscii())
            m_ascii.add(needle);
    }
}

bool NeedleSet::anyIn(QStringView hay) const
{
    return anyOf(m_all, units(hay), hay.size());
}

bool NeedleSet::anyIn(AsciiView hay) const
{
    return anyOf(m_ascii, hay.data, hay.size);
}

template<typename T>
bool NeedleSet::anyOf(const Groups &groups, const T *h, qsizetype n)
{
    const size_t count = groups.needles.size();
    for (size_t first = 0; first < count; first += kGroup) {
        if (groupIn(groups, first, std::min(count, first + kGroup), h, n))
            return true;
    }
    return false;
}

template<typename T>
bool NeedleSet::groupIn(const Groups &groups, size_t first, size_t end, const T *h, qsizetype n)
{
    const Needle *const *group = groups.needles.data() + first;
    const size_t count = end - first;
#ifdef __x86_64__
    // The last start where every needle of the group fits.
    const qsizetype last = n - groups.spans[first / kGroup];
    if (hasAvx2() && last >= qsizetype(32 / sizeof(T)) - 1) {
        switch (count) {
        case 1: return scanWide<T, 1>(groups, first, h, n, last);
        case 2: return scanWide<T, 2>(groups, first, h, n, last);
        case 3: return scanWide<T, 3>(groups, first, h, n, last);
        default: return scanWide<T, 4>(groups, first, h, n, last);
        }
    }
#endif
    for (size_t i = 0; i < count; ++i) {
        if (group[i]->findIn(h, n, 0) >= 0)
            return true;
    }
    return false;
}

#ifdef __x86_64__
// A step of starts at a time for all N needles, then one last step that
// ends where the longest needle last fits (starts already done are
// masked off), then the few starts beyond where only shorter ones fit.
template<typename T, size_t N>
__attribute__((target("avx2"))) bool NeedleSet::scanWide(const Groups &groups, size_t first, const T *h,
                                                         qsizetype n, qsizetype last)
{
    constexpr qsizetype kStep = 32 / sizeof(T);
    const Needle *const *group = groups.needles.data() + first;
    // The loops over the needles are unrolled so that their characters
    // stay in registers.
    __m256i want[N][2];
    int offset[N][2];
#pragma GCC unroll 4
    for (size_t i = 0; i < N; ++i) {
        for (int k = 0; k < 2; ++k) {
            want[i][k] = set1Wide<T>(groups.keys[first + i][k].ch);
            offset[i][k] = groups.keys[first + i][k].offset;
        }
    }
    const auto hits = [&](size_t i, qsizetype f) __attribute__((target("avx2"))) {
        const __m256i a = equalWide<T>(
            _mm256_loadu_si256(reinterpret_cast<const __m256i *>(h + f + offset[i][0])), want[i][0]);
        const __m256i b = equalWide<T>(
            _mm256_loadu_si256(reinterpret_cast<const __m256i *>(h + f + offset[i][1])), want[i][1]);
        return quint32(_mm256_movemask_epi8(_mm256_and_si256(a, b)));
    };
    qsizetype f = 0;
    for (; f + kStep - 1 <= last; f += kStep) {
#pragma GCC unroll 4
        for (size_t i = 0; i < N; ++i) {
            const quint32 bits = hits(i, f);
            if (bits && group[i]->firstOf(bits, h, f, false) >= 0)
                return true;
        }
    }
    if (f <= last) {
        const qsizetype g = last - (kStep - 1);
#pragma GCC unroll 4
        for (size_t i = 0; i < N; ++i) {
            const quint32 bits = fromStart<T>(hits(i, g), f - g);
            if (bits && group[i]->firstOf(bits, h, g, false) >= 0)
                return true;
        }
    }
#pragma GCC unroll 4
    for (size_t i = 0; i < N; ++i) {
        for (qsizetype start = last + 1; start <= n - group[i]->m_span; ++start) {
            if (group[i]->equalAt(h, start, false))
                return true;
        }
    }
    return false;
}
#endif

} // namespace matcher

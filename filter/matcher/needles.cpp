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

} // namespace

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
    for (const Unit &u : m_units)
        m_span = std::max(m_span, u.offset + 1);
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

// First index >= from where the needle lies in `hay`, or -1.
qsizetype Needle::find(QStringView hay, qsizetype from) const
{
    switch (m_keys) {
    case 0: return from <= hay.size() ? from : -1;
    case 1: return findWith<1>(hay, from);
    case 2: return findWith<2>(hay, from);
    default: return findWith<3>(hay, from);
    }
}

// `keysSeen`: whether every key is known to be in place already.
bool Needle::equalAt(const ushort *h, qsizetype start, bool keysSeen) const
{
    if (m_keysCoverAll && keysSeen)
        return true;
    for (const Unit &u : m_units) {
        if (h[start + u.offset] != u.ch)
            return false;
    }
    return true;
}

// Bit 2k of `bits` marks a candidate start at from + k.
qsizetype Needle::firstOf(quint32 bits, const ushort *h, qsizetype from, bool keysSeen) const
{
    while (bits) {
        const qsizetype start = from + __builtin_ctz(bits) / 2;
        if (equalAt(h, start, keysSeen))
            return start;
        bits &= bits - 1;
        bits &= bits - 1; // both bytes of the unit
    }
    return -1;
}

template<int K>
qsizetype Needle::findWith(QStringView hay, qsizetype from) const
{
    const qsizetype last = hay.size() - m_span;
    const ushort *h = reinterpret_cast<const ushort *>(hay.utf16());
#ifdef __x86_64__
    static const bool avx2 = __builtin_cpu_supports("avx2");
    const qsizetype at = avx2 ? scanWide<K>(h, &from, last) : scanNarrow<K>(h, &from, last);
#else
    const qsizetype at = scanNarrow<K>(h, &from, last);
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

// The vector loops: a match found, or -1 with *from where they stopped.
template<int K>
qsizetype Needle::scanNarrow(const ushort *h, qsizetype *from, qsizetype last) const
{
#ifdef __SSE2__
    __m128i want[K];
    for (int k = 0; k < K; ++k)
        want[k] = _mm_set1_epi16(short(m_key[k].ch));
    const auto hits = [&](qsizetype f) {
        __m128i hit = _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(h + f + m_key[0].offset)), want[0]);
        for (int k = 1; k < K; ++k)
            hit = _mm_and_si128(hit, _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(h + f + m_key[k].offset)), want[k]));
        return quint32(_mm_movemask_epi8(hit));
    };
    qsizetype f = *from;
    for (; f + 7 <= last; f += 8) {
        const quint32 bits = hits(f);
        if (bits) {
            const qsizetype at = firstOf(bits, h, f);
            if (at >= 0)
                return at;
        }
    }
    // The rest in one last step that ends at `last`, overlapping what
    // was done; starts before f are masked off.
    if (f <= last && last >= 7) {
        const qsizetype g = last - 7;
        const quint32 bits = hits(g) & ~((quint32(1) << (2 * (f - g))) - 1);
        f = last + 1;
        if (bits) {
            const qsizetype at = firstOf(bits, h, g);
            if (at >= 0)
                return at;
        }
    }
    *from = f;
#else
    Q_UNUSED(h);
    Q_UNUSED(from);
    Q_UNUSED(last);
#endif
    return -1;
}

#ifdef __x86_64__
template<int K>
__attribute__((target("avx2"))) qsizetype Needle::scanWide(const ushort *h, qsizetype *from, qsizetype last) const
{
    __m256i want[K];
    for (int k = 0; k < K; ++k)
        want[k] = _mm256_set1_epi16(short(m_key[k].ch));
    const auto hits = [&](qsizetype f) __attribute__((target("avx2"))) {
        __m256i hit = _mm256_cmpeq_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(h + f + m_key[0].offset)), want[0]);
        for (int k = 1; k < K; ++k)
            hit = _mm256_and_si256(hit, _mm256_cmpeq_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(h + f + m_key[k].offset)), want[k]));
        return quint32(_mm256_movemask_epi8(hit));
    };
    qsizetype f = *from;
    for (; f + 15 <= last; f += 16) {
        const quint32 bits = hits(f);
        if (bits) {
            const qsizetype at = firstOf(bits, h, f);
            if (at >= 0)
                return at;
        }
    }
    if (f <= last && last >= 15) {
        const qsizetype g = last - 15;
        const quint64 keep = ~((quint64(1) << (2 * (f - g))) - 1);
        const quint32 bits = hits(g) & quint32(keep);
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

#endif

NeedleSet::NeedleSet(std::vector<const Needle *> needles)
    : m_needles(std::move(needles))
{
    for (size_t i = 0; i < m_needles.size(); ++i) {
        const Needle &needle = *m_needles[i];
        m_keys.push_back({needle.m_key[0], needle.m_key[needle.m_keys > 1 ? 1 : 0]});
        if (i % kGroup == 0)
            m_groupSpans.push_back(0);
        m_groupSpans.back() = std::max(m_groupSpans.back(), needle.m_span);
    }
}

// Whether one of the needles lies somewhere in `hay`.
bool NeedleSet::anyIn(QStringView hay) const
{
    for (size_t first = 0; first < m_needles.size(); first += kGroup) {
        if (groupIn(first, std::min(m_needles.size(), first + kGroup), hay))
            return true;
    }
    return false;
}

bool NeedleSet::groupIn(size_t first, size_t end, QStringView hay) const
{
    const Needle *const *group = m_needles.data() + first;
    const size_t count = end - first;
    // The last start where every needle of the group fits.
    const qsizetype last = hay.size() - m_groupSpans[first / kGroup];
#ifdef __x86_64__
    static const bool avx2 = __builtin_cpu_supports("avx2");
    const ushort *h = reinterpret_cast<const ushort *>(hay.utf16());
    if (avx2 && last >= 15) {
        switch (count) {
        case 1: return scanWide<1>(first, h, hay.size(), last);
        case 2: return scanWide<2>(first, h, hay.size(), last);
        case 3: return scanWide<3>(first, h, hay.size(), last);
        default: return scanWide<4>(first, h, hay.size(), last);
        }
    }
#endif
    for (size_t i = 0; i < count; ++i) {
        if (group[i]->find(hay, 0) >= 0)
            return true;
    }
    return false;
}

#ifdef __x86_64__
// Sixteen starts at a time for all N needles, then one last step that
// ends where the longest needle last fits (starts already done are
// masked off), then the few starts beyond where only shorter ones fit.
template<size_t N>
__attribute__((target("avx2"))) bool NeedleSet::scanWide(size_t first, const ushort *h, qsizetype n, qsizetype last) const
{
    const Needle *const *group = m_needles.data() + first;
    // The loops over the needles are unrolled so that their characters
    // stay in registers.
    __m256i want[N][2];
    int offset[N][2];
#pragma GCC unroll 4
    for (size_t i = 0; i < N; ++i) {
        for (int k = 0; k < 2; ++k) {
            want[i][k] = _mm256_set1_epi16(short(m_keys[first + i][k].ch));
            offset[i][k] = m_keys[first + i][k].offset;
        }
    }
    const auto hits = [&](size_t i, qsizetype f) __attribute__((target("avx2"))) {
        const __m256i a = _mm256_cmpeq_epi16(
            _mm256_loadu_si256(reinterpret_cast<const __m256i *>(h + f + offset[i][0])), want[i][0]);
        const __m256i b = _mm256_cmpeq_epi16(
            _mm256_loadu_si256(reinterpret_cast<const __m256i *>(h + f + offset[i][1])), want[i][1]);
        return quint32(_mm256_movemask_epi8(_mm256_and_si256(a, b)));
    };
    qsizetype f = 0;
    for (; f + 15 <= last; f += 16) {
#pragma GCC unroll 4
        for (size_t i = 0; i < N; ++i) {
            const quint32 bits = hits(i, f);
            if (bits && group[i]->firstOf(bits, h, f, false) >= 0)
                return true;
        }
    }
    if (f <= last) {
        const qsizetype g = last - 15;
        const quint32 keep = quint32(~((quint64(1) << (2 * (f - g))) - 1));
#pragma GCC unroll 4
        for (size_t i = 0; i < N; ++i) {
            const quint32 bits = hits(i, g) & keep;
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

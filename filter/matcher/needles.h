// Literal pre-checks: characters at fixed distances from each other (a
// literal, or the plain characters of a fixed-width start of a pattern)
// found in a text with vector instructions, one needle at a time or many in
// one pass. Texts are UTF-16 units, as QRegExp sees them.
#ifndef MATCHER_NEEDLES_H
#define MATCHER_NEEDLES_H

#include <QString>
#include <QStringView>

#include <array>
#include <vector>

namespace matcher {

// One needle, looked for by up to three of its rarest characters at once,
// sixteen or eight starting positions at a time: most places that hold one
// of them are passed over without a comparison.
class Needle
{
public:
    struct Unit
    {
        int offset;
        ushort ch;
    };

    // The empty needle, found everywhere.
    Needle() = default;
    // The literal `text`.
    explicit Needle(const QString &text);
    // The characters `units`, each at its offset from the needle's start.
    explicit Needle(std::vector<Unit> units);
    // Whether the needle has no characters.
    bool isEmpty() const { return m_units.empty(); }
    // First index >= from where the needle lies in `hay`, or -1.
    qsizetype find(QStringView hay, qsizetype from) const;

private:
    friend class NeedleSet;

    // `keysSeen`: whether every key is known to be in place already.
    bool equalAt(const ushort *h, qsizetype start, bool keysSeen) const;
    // Bit 2k of `bits` marks a candidate start at from + k.
    qsizetype firstOf(quint32 bits, const ushort *h, qsizetype from, bool keysSeen = true) const;
    template<int K>
    qsizetype findWith(QStringView hay, qsizetype from) const;
    // The vector loops: a match found, or -1 with *from where they stopped.
    template<int K>
    qsizetype scanNarrow(const ushort *h, qsizetype *from, qsizetype last) const;
#ifdef __x86_64__
    template<int K>
    __attribute__((target("avx2"))) qsizetype scanWide(const ushort *h, qsizetype *from, qsizetype last) const;
#endif

    std::vector<Unit> m_units;
    int m_span = 0;
    Unit m_key[3] = {};
    int m_keys = 0;
    bool m_keysCoverAll = false;
};

// Several needles looked for in one pass over a text, each by its two
// rarest characters: a text that holds none of them, as most texts a filter
// passes over, costs about one search instead of one per needle.
class NeedleSet
{
public:
    // The needles, which must outlive the set.
    explicit NeedleSet(std::vector<const Needle *> needles);
    // Whether one of the needles lies somewhere in `hay`.
    bool anyIn(QStringView hay) const;

private:
    // Needles scanned together: their characters stay in registers.
    static constexpr size_t kGroup = 4;

    bool groupIn(size_t first, size_t end, QStringView hay) const;
#ifdef __x86_64__
    template<size_t N>
    __attribute__((target("avx2"))) bool scanWide(size_t first, const ushort *h, qsizetype n, qsizetype last) const;
#endif

    std::vector<const Needle *> m_needles;
    std::vector<std::array<Needle::Unit, 2>> m_keys; // the two rarest of each needle
    std::vector<int> m_groupSpans;                   // the longest needle of each group
};

} // namespace matcher

#endif

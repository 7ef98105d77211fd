// Literal pre-checks: characters at fixed distances from each other (a
// literal, or the plain characters of a fixed-width start of a pattern)
// found in a text with vector instructions, one needle at a time or many in
// one pass. A text is either UTF-16 units, as QRegExp sees them, or ASCII
// bytes, which are the same units one byte each.
#ifndef MATCHER_NEEDLES_H
#define MATCHER_NEEDLES_H

#include <QString>
#include <QStringView>

#include <array>
#include <vector>

namespace matcher {

// Whether the processor has AVX2 and VREL_NO_AVX2 is not set, for the
// vector loops of twice the width.
bool hasAvx2();

// An ASCII text: its bytes are its UTF-16 units.
struct AsciiView
{
    const uchar *data;
    qsizetype size;
};

// One needle, looked for by up to three of its rarest characters at once,
// sixteen to thirty-two starting positions at a time: most places that hold
// one of them are passed over without a comparison.
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
    // Whether every character of the needle is ASCII (else no ASCII text holds it).
    bool isAscii() const { return m_ascii; }
    // The characters it is looked for by, the rarest first: keyCount() of
    // them, up to three (none for the empty needle).
    int keyCount() const { return m_keys; }
    const Unit &key(int k) const { return m_key[k]; }
    // First index >= from where the needle lies in `hay`, or -1.
    qsizetype find(QStringView hay, qsizetype from) const;
    qsizetype find(AsciiView hay, qsizetype from) const;

private:
    friend class NeedleSet;

    // `keysSeen`: whether every key is known to be in place already.
    template<typename T>
    bool equalAt(const T *h, qsizetype start, bool keysSeen) const;
    // Bits sizeof(T) * k of `bits` mark a candidate start at from + k.
    template<typename T>
    qsizetype firstOf(quint32 bits, const T *h, qsizetype from, bool keysSeen = true) const;
    template<typename T>
    qsizetype findIn(const T *h, qsizetype n, qsizetype from) const;
    template<typename T, int K>
    qsizetype findWith(const T *h, qsizetype n, qsizetype from) const;
    // The vector loops: a match found, or -1 with *from where they stopped.
    template<typename T, qsizetype kStep, typename Hits>
    qsizetype scanSteps(const T *h, qsizetype *from, qsizetype last, const Hits &hits) const;
    template<typename T, int K>
    qsizetype scanNarrow(const T *h, qsizetype *from, qsizetype last) const;
#ifdef __x86_64__
    template<typename T, int K>
    __attribute__((target("avx2"))) qsizetype scanWide(const T *h, qsizetype *from, qsizetype last) const;
#endif

    std::vector<Unit> m_units;
    int m_span = 0;
    Unit m_key[3] = {};
    int m_keys = 0;
    bool m_keysCoverAll = false;
    bool m_ascii = true;
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
    bool anyIn(AsciiView hay) const;

private:
    // Needles scanned together: their characters stay in registers.
    static constexpr size_t kGroup = 4;

    struct Groups
    {
        std::vector<const Needle *> needles;
        std::vector<std::array<Needle::Unit, 2>> keys; // the two rarest of each needle
        std::vector<int> spans;                        // the longest needle of each group
        void add(const Needle *needle);
    };

    template<typename T>
    static bool anyOf(const Groups &groups, const T *h, qsizetype n);
    template<typename T>
    static bool groupIn(const Groups &groups, size_t first, size_t end, const T *h, qsizetype n);
#ifdef __x86_64__
    template<typename T, size_t N>
    __attribute__((target("avx2"))) static bool scanWide(const Groups &groups, size_t first, const T *h,
                                                         qsizetype n, qsizetype last);
#endif

    Groups m_all;   // for UTF-16 texts
    Groups m_ascii; // the ASCII needles, for ASCII texts
};

} // namespace matcher

#endif

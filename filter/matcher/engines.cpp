// The engines other than the linear matcher, and the choice between them.
//
// QRegExp works on UTF-16 units while PCRE works on code points; on the PCRE
// path every surrogate unit of a text therefore stands in for itself as a
// private-use code point of its own.
//
// No pattern may cost more than some tens of milliseconds on one record:
// PCRE runs under a match limit scaled to the text's length and hands a text
// it gives up on to QRegExp; QRegExp runs only while its measured cost on
// growing parts of the text says the whole text stays within its budget. A
// text that QRegExp would take longer over is undecided, never a non-match.
#include "engines.h"

#include <QRegExp>
#include <QRegularExpression>
#include <QStringView>

#include <algorithm>
#include <array>
#include <cmath>
#include <ctime>

#include "linearpattern.h"
#include "patterntree.h"

namespace matcher {

namespace {

inline bool hasSurrogate(const ushort *t, qsizetype n)
{
    ushort acc = 0;
    for (qsizetype i = 0; i < n; ++i)
        acc |= ushort((t[i] & 0xf800) == 0xd800);
    return acc != 0;
}

// Surrogate units of a text go to PCRE as code points of plane 15, one per
// unit, so that PCRE sees as many characters as QRegExp does.
constexpr uint kStandInBase = 0xF0000;

inline uint surrogateStandIn(uint unit)
{
    return kStandInBase + (unit - 0xD800);
}

QString withStandIns(QStringView text)
{
    QString out;
    out.reserve(text.size() * 2);
    for (const QChar c : text) {
        if (c.isSurrogate()) {
            const uint cp = surrogateStandIn(c.unicode());
            out.append(QChar(QChar::highSurrogate(cp)));
            out.append(QChar(QChar::lowSurrogate(cp)));
        } else {
            out.append(c);
        }
    }
    return out;
}

class NeverPattern : public Pattern
{
public:
    Verdict search(const QString &) const override { return Verdict::NoMatch; }
    Verdict search(AsciiView) const override { return Verdict::NoMatch; }
    bool needles(std::vector<const Needle *> *) const override { return true; }
};

// Processor time of this thread: a probe must not count the time the
// machine gave to others.
qint64 threadNanos()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// QRegExp has no limit of its own and cannot be interrupted; its cost grows
// with the text as a power of its length that depends on the pattern (the
// third and more with back-references). It is therefore run first on parts
// of the text, from both ends, each twice as long as the one before; the
// growth of their cost tells what the next part, and at last the whole
// text, will cost, and the text is left undecided as soon as that would go
// past the budget.
class RegExpPattern : public Pattern
{
public:
    explicit RegExpPattern(const QRegExp &rx)
        : m_rx(rx)
    {
    }
    using Pattern::search;
    Verdict search(const QString &text) const override
    {
        const qsizetype n = text.size();
        qint64 total = 0;
        qint64 previous = 0;
        for (qsizetype length = kFirstProbe; length < n; length *= 2) {
            // Two parts of this length cost `spent`; what comes next costs
            // that times the growth per doubling of the length.
            const qsizetype next = std::min(2 * length, n);
            const auto predicted = [&](qint64 spent) {
                // Below some microseconds the clock tells nothing of the growth.
                const double growth = previous > kMeasurable
                    ? std::clamp(double(spent) / double(previous), 2.0, 64.0) : 8.0;
                const double parts = next < n ? 2.0 : 1.0;
                return double(spent) / 2.0 * parts * std::pow(growth, std::log2(double(next) / double(length)));
            };
            qint64 spent = probe(text, length);
            total += spent;
            if (double(total) + predicted(spent) > double(kBudgetNs)) {
                // A pause within the probe (the machine busy with other
                // work, the host of a virtual machine, the pattern's first
                // compilation) is counted as cost: the text is left
                // undecided only when a second probe tells the same. The
                // lower of the two counts, so that a probe costs at most
                // twice what the budget allows for it.
                const qint64 lower = std::min(spent, probe(text, length));
                total -= spent - lower;
                spent = lower;
                if (double(total) + predicted(spent) > double(kBudgetNs))
                    return Verdict::Undecided;
            }
            previous = spent;
        }
        return verdictOf(m_rx.indexIn(text) != -1);
    }

private:
    // The processor time of a search of the first and of the last `length`
    // units of `text`.
    qint64 probe(const QString &text, qsizetype length) const
    {
        const qint64 start = threadNanos();
        m_rx.indexIn(text.left(int(length)));
        m_rx.indexIn(text.right(int(length)));
        return std::max<qint64>(threadNanos() - start, 1);
    }

    static constexpr qsizetype kFirstProbe = 16;
    static constexpr qint64 kMeasurable = 20000;
    static constexpr qint64 kBudgetNs = 20000000;
    // indexIn() records the captures in the object; a private copy keeps
    // that from touching anybody else's.
    mutable QRegExp m_rx;
};

// A sequence of single characters, classes, "+" runs whose class cannot
// contain what follows them, and assertions: decided left to right

// PCRE source for the tree; every character is written as \x{...} so that
// nothing is read with PCRE's own extensions.
class Emitter
{
public:
    static QString alts(const Alts &a)
    {
        QString out;
        for (size_t i = 0; i < a.size(); ++i) {
            if (i)
                out += QLatin1Char('|');
            out += seq(a[i]);
        }
        return out;
    }

private:
    static QString seq(const Seq &s)
    {
        QString out;
        for (const Node &node : s)
            out += emitNode(node);
        return out;
    }

    static QString hex(uint c)
    {
        return QStringLiteral("\\x{") + QString::number(c, 16) + QLatin1Char('}');
    }

    // PCRE code point standing for `unit`: itself, or for a surrogate the
    // private-use stand-in that texts carry in its place.
    static uint codePoint(uint unit)
    {
        return QChar::isSurrogate(unit) ? surrogateStandIn(unit) : unit;
    }

    // Ranges of `set` as PCRE code points (surrogates as their stand-ins,
    // which keep their order and so stay ranges).
    static QString ranges(const CharSet &set, int *count)
    {
        QString out;
        *count = 0;
        for (uint c = set.next(0, true); c < 0x10000; c = set.next(c, true)) {
            // A range never spans the edges of the surrogates, whose
            // stand-ins lie elsewhere.
            const uint edge = c < 0xD800 ? 0xD800 : c < 0xE000 ? 0xE000 : 0x10000;
            const uint end = std::min(set.next(c, false), edge) - 1;
            out += hex(codePoint(c));
            if (end > c)
                out += QLatin1Char('-') + hex(codePoint(end));
            ++*count;
            c = end + 1;
        }
        return out;
    }

    static QString emitSet(const CharSet &set)
    {
        int in = 0;
        int out = 0;
        const QString inside = ranges(set, &in);
        CharSet inverse = set;
        inverse.invert();
        const QString outside = ranges(inverse, &out);
        if (in == 0)
            return QStringLiteral("(?!)");
        if (out == 0)
            return QStringLiteral("(?s:.)");
        if (in == 1 && set.single() >= 0)
            return inside;
        if (out < in)
            return QStringLiteral("[^") + outside + QLatin1Char(']');
        return QLatin1Char('[') + inside + QLatin1Char(']');
    }

    static QString quantifier(const Node &n)
    {
        if (n.once())
            return {};
        if (n.min == 0 && n.max == -1)
            return QStringLiteral("*");
        if (n.min == 1 && n.max == -1)
            return QStringLiteral("+");
        if (n.min == 0 && n.max == 1)
            return QStringLiteral("?");
        if (n.max == -1)
            return QStringLiteral("{%1,}").arg(n.min);
        if (n.max == n.min)
            return QStringLiteral("{%1}").arg(n.min);
        return QStringLiteral("{%1,%2}").arg(n.min).arg(n.max);
    }

    static QString emitNode(const Node &n)
    {
        static const QString word = emitSet(wordSet());
        switch (n.kind) {
        case NodeKind::Set: {
            const QString body = emitSet(*n.set);
            if (n.once())
                return body;
            return QStringLiteral("(?:") + body + QLatin1Char(')') + quantifier(n);
        }
        case NodeKind::Group:
            return QStringLiteral("(?:") + alts(n.alts) + QLatin1Char(')') + quantifier(n);
        case NodeKind::Ahead:
            return QStringLiteral("(?=") + alts(n.alts) + QLatin1Char(')');
        case NodeKind::NotAhead:
            return QStringLiteral("(?!") + alts(n.alts) + QLatin1Char(')');
        case NodeKind::Start:
            return QStringLiteral("\\A");
        case NodeKind::End:
            return QStringLiteral("\\z");
        case NodeKind::WordBoundary:
            return QStringLiteral("(?:(?<=%1)(?!%1)|(?<!%1)(?=%1))").arg(word);
        case NodeKind::NotWordBoundary:
            return QStringLiteral("(?:(?<=%1)(?=%1)|(?<!%1)(?!%1))").arg(word);
        }
        return {};
    }
};

// PCRE under a match limit per starting position that shrinks as the text
// grows, so that a whole search stays within a few million steps however
// much the pattern backtracks; one compiled expression per power of two of
// text length, made when first needed. A text that hits the limit goes to
// QRegExp, whose cost grows with the text but not exponentially with the
// nesting of repetitions, under its own budget.
class PcrePattern : public Pattern
{
public:
    PcrePattern(const QString &source, const QStringList &needles, const QRegExp &fallback)
        : m_source(source)
        , m_fallback(fallback)
    {
        for (const QString &needle : needles)
            m_needles.emplace_back(needle);
    }
    bool valid() const { return expression(0).isValid(); }
    bool needles(std::vector<const Needle *> *out) const override
    {
        for (const Needle &needle : m_needles)
            out->push_back(&needle);
        return !m_needles.empty();
    }

    Verdict search(const QString &text) const override
    {
        const QStringView view(text);
        if (!anyNeedleIn(view))
            return Verdict::NoMatch;
        const bool standIns = hasSurrogate(reinterpret_cast<const ushort *>(view.utf16()), view.size());
        const QString subject = standIns ? withStandIns(view) : text;
        const QRegularExpressionMatch match = expression(lengthClass(subject.size()))
            .match(subject, 0, QRegularExpression::NormalMatch,
                   standIns ? QRegularExpression::NoMatchOption : QRegularExpression::DontCheckSubjectStringMatchOption);
        if (!match.isValid())
            return m_fallback.search(text);
        return verdictOf(match.hasMatch());
    }
    Verdict search(AsciiView text) const override
    {
        if (!anyNeedleIn(text))
            return Verdict::NoMatch;
        // No surrogates in ASCII.
        const QString subject = QString::fromLatin1(reinterpret_cast<const char *>(text.data), int(text.size));
        const QRegularExpressionMatch match = expression(lengthClass(subject.size()))
            .match(subject, 0, QRegularExpression::NormalMatch, QRegularExpression::DontCheckSubjectStringMatchOption);
        if (!match.isValid())
            return m_fallback.search(subject);
        return verdictOf(match.hasMatch());
    }

private:
    // Whether `hay` holds one of the needles, or there are none.
    template<typename View>
    bool anyNeedleIn(View hay) const
    {
        if (m_needles.empty())
            return true;
        for (const Needle &needle : m_needles) {
            if (needle.find(hay, 0) >= 0)
                return true;
        }
        return false;
    }

    static constexpr int kClasses = 24;
    static constexpr qint64 kSteps = qint64(1) << 22;

    static int lengthClass(qsizetype length)
    {
        int c = 0;
        while (c + 1 < kClasses && (qsizetype(1) << c) < length)
            ++c;
        return c;
    }

    const QRegularExpression &expression(int lengthClass) const
    {
        auto &slot = m_byLength[size_t(lengthClass)];
        if (!slot) {
            const qint64 limit = std::max<qint64>(kSteps >> lengthClass, 16);
            slot = std::make_unique<QRegularExpression>(
                QStringLiteral("(*LIMIT_MATCH=%1)(*LIMIT_DEPTH=%1)").arg(limit) + m_source,
                QRegularExpression::DontCaptureOption);
            slot->optimize();
        }
        return *slot;
    }

    QString m_source;
    std::vector<Needle> m_needles; // every match contains one of them
    mutable std::array<std::unique_ptr<QRegularExpression>, kClasses> m_byLength;
    RegExpPattern m_fallback;
};

// Alternatives that are plain strings: finding one is the answer.
class LiteralsPattern : public Pattern
{
public:
    explicit LiteralsPattern(const QStringList &literals)
    {
        for (const QString &literal : literals)
            m_needles.emplace_back(literal);
    }
    Verdict search(const QString &text) const override
    {
        return verdictOf(anyIn(QStringView(text)));
    }
    Verdict search(AsciiView text) const override
    {
        return verdictOf(anyIn(text));
    }
    bool needles(std::vector<const Needle *> *out) const override
    {
        for (const Needle &needle : m_needles)
            out->push_back(&needle);
        return true;
    }

private:
    template<typename View>
    bool anyIn(View hay) const
    {
        for (const Needle &needle : m_needles) {
            if (needle.find(hay, 0) >= 0)
                return true;
        }
        return false;
    }

    std::vector<Needle> m_needles;
};

// The strings of `alts` when every alternative is a plain, non-empty string.
QStringList plainStrings(const Alts &alts)
{
    QStringList strings;
    for (const Seq &seq : alts) {
        QString text;
        for (const Node &node : seq) {
            const int single = node.isSet() && node.once() ? node.set->single() : -1;
            if (single < 0)
                return {};
            text.append(QChar(ushort(single)));
        }
        if (text.isEmpty())
            return {};
        strings.append(text);
    }
    return strings;
}

// The longest run of plain characters that every match of `seq` contains.
QString requiredLiteral(const Seq &seq)
{
    QString best;
    QString run;
    for (const Node &node : seq) {
        const int single = node.isSet() ? node.set->single() : -1;
        if (single >= 0 && node.once()) {
            run.append(QChar(ushort(single)));
            continue;
        }
        if (run.size() > best.size())
            best = run;
        run.clear();
    }
    return run.size() > best.size() ? run : best;
}

// One required literal per alternative, or none when some alternative has none.
QStringList requiredLiterals(const Alts &alts)
{
    QStringList literals;
    for (const Seq &seq : alts) {
        const QString literal = requiredLiteral(seq);
        if (literal.isEmpty())
            return {};
        literals.append(literal);
    }
    return literals;
}

// QRegExp reads all the digits after "\\1" to "\\9" as one back-reference
// number and packs it into a token beside the token's kind: from 65536 on
// the number spills into the kind and QRegExp reads memory it does not own
// while matching. Such a pattern is no valid pattern.
bool overflowsBackReference(const QString &source)
{
    for (int i = 0; i + 1 < source.size(); ++i) {
        if (source.at(i) != QLatin1Char('\\'))
            continue;
        const QChar first = source.at(i + 1);
        if (first < QLatin1Char('1') || first > QLatin1Char('9')) {
            ++i; // an escaped character, maybe a backslash
            continue;
        }
        qint64 number = 0;
        int j = i + 1;
        for (; j < source.size() && source.at(j) >= QLatin1Char('0') && source.at(j) <= QLatin1Char('9'); ++j) {
            number = number * 10 + (source.at(j).unicode() - '0');
            if (number > 0xFFFF)
                return true;
        }
        i = j - 1;
    }
    return false;
}

} // namespace

std::unique_ptr<Pattern> compile(const QString &source)
{
    if (overflowsBackReference(source))
        return std::make_unique<NeverPattern>();
    const QRegExp rx(source, Qt::CaseSensitive, QRegExp::RegExp);
    if (!rx.isValid())
        return std::make_unique<NeverPattern>();
    Alts tree;
    if (!parsePattern(source, &tree))
        return std::make_unique<RegExpPattern>(rx);
    simplifyAlts(&tree);
    if (auto linear = buildLinear(tree))
        return linear;
    const QStringList strings = plainStrings(tree);
    if (!strings.isEmpty())
        return std::make_unique<LiteralsPattern>(strings);
    auto pcre = std::make_unique<PcrePattern>(Emitter::alts(tree), requiredLiterals(tree), rx);
    if (!pcre->valid())
        return std::make_unique<RegExpPattern>(rx);
    return pcre;
}

} // namespace matcher

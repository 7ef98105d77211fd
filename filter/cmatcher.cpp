// The matching of a filter's lists: a text matches when every non-empty list
// has a pattern that matches it. Each pattern runs on the engine chosen for
// it (see matcher/engines.h); a list whose patterns all carry literals is
// first checked for any of them in one pass over the text.
//
// Filter patterns use QRegExp's syntax, but QRegExp is slow in the loops
// that test millions of records. Every pattern is therefore parsed into a
// small tree of the constructs whose meaning is certain (matcher/patterntree),
// and run by the fastest engine that gives QRegExp's answer:
//  - a linear matcher for plain sequences of characters, classes, "+"
//    runs and assertions (matcher/linearpattern),
//  - PCRE through QRegularExpression, with a literal pre-check
//    (matcher/needles), for other patterns of the common subset,
//  - QRegExp itself for anything else (back-references above all, whose
//    QRegExp answers no other engine reproduces), under a time budget.
// A list of many plain entries (watched paths, say) finds them all with one
// automaton (matcher/literalset) instead of one search per entry. The
// needles of up to two lists are also looked for in the pass that finds a
// text's end (matcher/textgate), which tells most texts a filter passes
// over from the others before any search; without such lists, the places
// where one automaton's literals may start are looked for there instead.
#include "cmatcher.h"

#include <cstring>
#include <optional>

#include "matcher/engines.h"
#include "matcher/literalset.h"
#include "matcher/needles.h"
#include "matcher/textgate.h"
#include "utf8texts.h"

using matcher::LiteralSet;
using matcher::Needle;
using matcher::NeedleSet;
using matcher::Pattern;
using matcher::TextGate;
using utf8texts::isAscii;
using utf8texts::terminatedLength;

// From this many plain entries on, a list looks for them all with one
// automaton; fewer are found faster by their needles.
constexpr int kManyLiterals = 16;

struct CMatcher::List
{
    // The patterns other than the plain entries the automaton finds, and
    // the index of each in `sources`.
    std::vector<std::unique_ptr<Pattern>> patterns;
    std::vector<int> sourceOf;
    QStringList sources;
    // The plain entries, when there are many: finding one decides the list.
    std::optional<LiteralSet> literals;
    // The needles of all patterns, when every pattern has some and there
    // are several: a text without any of them matches no pattern.
    std::optional<NeedleSet> needles;
    // Whether the gate looks for those needles: an ASCII text it passes
    // nearly always holds one, and the patterns' own searches are left.
    bool gated = false;
};

CMatcher::CMatcher(const QList<QStringList> &lists, const QList<QStringList> &hidden)
{
    QStringList hiddenEntries;
    for (const QStringList &list : hidden)
        hiddenEntries += list;
    if (!hiddenEntries.isEmpty())
        m_hidden = std::make_unique<const CMatcher>(QList<QStringList>{hiddenEntries});
    for (const QStringList &list : lists) {
        if (list.isEmpty())
            continue;
        auto compiled = std::make_unique<List>();
        compiled->sources = list;
        QStringList plain;
        std::vector<bool> isPlain(size_t(list.size()), false);
        for (int i = 0; i < list.size(); ++i) {
            QString literal;
            if (matcher::plainLiteral(list.at(i), &literal)) {
                plain.append(literal);
                isPlain[size_t(i)] = true;
            }
        }
        const bool automaton = plain.size() >= kManyLiterals;
        if (automaton)
            compiled->literals.emplace(plain);
        for (int i = 0; i < list.size(); ++i) {
            if (automaton && isPlain[size_t(i)])
                continue;
            compiled->patterns.push_back(matcher::compile(list.at(i)));
            compiled->sourceOf.push_back(i);
        }
        std::vector<const Needle *> needles;
        bool all = true;
        for (const auto &pattern : compiled->patterns)
            all = all && pattern->needles(&needles);
        // A plain entry the automaton finds has no needle in `needles`.
        if (all && !automaton) {
            if (!m_gate)
                m_gate = std::make_unique<TextGate>();
            compiled->gated = m_gate->addList(needles);
        }
        if (all && (needles.size() > 1 || (automaton && !needles.empty())))
            compiled->needles.emplace(std::move(needles));
        m_lists.push_back(std::move(compiled));
    }
    if (m_gate && m_gate->isEmpty())
        m_gate.reset();
    for (size_t i = 0; i < m_lists.size() && !m_gate && !m_endScan; ++i) {
        if (m_lists[i]->literals && m_lists[i]->patterns.empty())
            m_endScan = &*m_lists[i]->literals;
    }
}

CMatcher::~CMatcher() = default;

namespace {

QStringView viewOf(const QString &text)
{
    return QStringView(text);
}

matcher::AsciiView viewOf(const matcher::AsciiView &text)
{
    return text;
}

} // namespace

CMatcher::Verdict CMatcher::withHidden(Verdict shown, const char *utf8, qsizetype length, QString *costly) const
{
    if (!m_hidden || shown != Verdict::Match)
        return shown;
    const Verdict hidden = m_hidden->verdictUtf8(utf8, length, costly);
    if (hidden == Verdict::Undecided)
        m_costly = m_hidden->costlyPattern();
    return hidden == Verdict::Match ? Verdict::NoMatch : hidden == Verdict::NoMatch ? Verdict::Match : hidden;
}

CMatcher::Verdict CMatcher::withHidden(Verdict shown, const QString &text, QString *costly) const
{
    if (!m_hidden || shown != Verdict::Match)
        return shown;
    const Verdict hidden = m_hidden->verdict(text, costly);
    if (hidden == Verdict::Undecided)
        m_costly = m_hidden->costlyPattern();
    return hidden == Verdict::Match ? Verdict::NoMatch : hidden == Verdict::NoMatch ? Verdict::Match : hidden;
}

CMatcher::Verdict CMatcher::verdict(const QString &text, QString *costly) const
{
    return withHidden(verdictOn(text, costly), text, costly);
}

CMatcher::Verdict CMatcher::verdictUtf8(const char *utf8, qsizetype length, QString *costly) const
{
    return withHidden(verdictUtf8Shown(utf8, length, costly), utf8, length, costly);
}

CMatcher::Verdict CMatcher::verdictUtf8Text(const char *utf8, const char *end, qsizetype *length,
                                            QString *costly, bool *ascii) const
{
    const Verdict shown = verdictUtf8TextShown(utf8, end, length, costly, ascii);
    return withHidden(shown, utf8, *length, costly);
}

CMatcher::Verdict CMatcher::verdictUtf8Shown(const char *utf8, qsizetype length, QString *costly) const
{
    if (isAscii(utf8, length))
        return verdictOn(matcher::AsciiView{reinterpret_cast<const uchar *>(utf8), length}, costly);
    return verdictOn(QString::fromUtf8(utf8, int(length)), costly);
}

CMatcher::Verdict CMatcher::verdictUtf8TextShown(const char *utf8, const char *end, qsizetype *length,
                                                 QString *costly, bool *ascii) const
{
    bool plain = false;
    bool mayPass = true;
    qsizetype from = 0;
    if (m_gate) {
        *length = m_gate->length(utf8, end, &plain, &mayPass);
    } else if (m_endScan) {
        *length = m_endScan->terminated(utf8, end, &plain, &from);
        mayPass = from >= 0;
    } else {
        *length = terminatedLength(utf8, end, &plain);
    }
    if (ascii)
        *ascii = plain;
    if (m_lists.empty())
        return Verdict::Match;
    // A list that fails decides the text, however the others would.
    if (!mayPass)
        return Verdict::NoMatch;
    return verdictPassed(utf8, *length, plain, from, costly);
}

// Apart from the pass, which most texts go no further than, so that the
// pass's caller saves and restores little around it.
__attribute__((noinline)) CMatcher::Verdict CMatcher::verdictPassed(const char *utf8, qsizetype length, bool ascii,
                                                                    qsizetype from, QString *costly) const
{
    if (!ascii)
        return verdictOn(QString::fromUtf8(utf8, int(length)), costly);
    const matcher::AsciiView text{reinterpret_cast<const uchar *>(utf8), length};
    if (!m_endScan)
        return verdictOn(text, costly, m_gate != nullptr);
    // The pass found where the automaton's literals may start first: its
    // list, which nothing else can satisfy, is asked from there on.
    if (!m_endScan->anyIn(matcher::AsciiView{text.data + from, text.size - from}))
        return Verdict::NoMatch;
    return verdictOn(text, costly, false, m_endScan);
}

template<typename Text>
CMatcher::Verdict CMatcher::verdictOn(const Text &text, QString *costly, bool gatePassed,
                                     const LiteralSet *found) const
{
    // A list that fails decides the text whatever an earlier list left open,
    // so an undecided list only counts when every other list is satisfied.
    const QString *open = nullptr;
    for (const auto &list : m_lists) {
        if (list->literals && (&*list->literals == found || list->literals->anyIn(viewOf(text))))
            continue;
        if (list->needles && !(gatePassed && list->gated) && !list->needles->anyIn(viewOf(text)))
            return Verdict::NoMatch;
        const QString *undecided = nullptr;
        bool found = false;
        for (size_t i = 0; i < list->patterns.size(); ++i) {
            const Verdict v = list->patterns[i]->search(text);
            if (v == Verdict::Match) {
                found = true;
                break;
            }
            if (v == Verdict::Undecided && !undecided)
                undecided = &list->sources.at(list->sourceOf[i]);
        }
        if (found)
            continue;
        if (!undecided)
            return Verdict::NoMatch;
        if (!open)
            open = undecided;
    }
    if (!open)
        return Verdict::Match;
    m_costly = *open;
    if (costly)
        *costly = *open;
    return Verdict::Undecided;
}

bool CMatcher::matches(const QString &text) const
{
    return verdict(text) == Verdict::Match;
}

bool CMatcher::matchesEverything() const
{
    return m_lists.empty() && !m_hidden;
}

QString CMatcher::costlyPattern() const
{
    return m_costly;
}

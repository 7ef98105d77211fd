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
#include "cmatcher.h"

#include <optional>

#include "matcher/engines.h"
#include "matcher/needles.h"

using matcher::Needle;
using matcher::NeedleSet;
using matcher::Pattern;

struct CMatcher::List
{
    std::vector<std::unique_ptr<Pattern>> patterns;
    QStringList sources;
    // The needles of all patterns, when every pattern has some and there
    // are several: a text without any of them matches no pattern.
    std::optional<NeedleSet> needles;
};

CMatcher::CMatcher(const QList<QStringList> &lists)
{
    for (const QStringList &list : lists) {
        if (list.isEmpty())
            continue;
        auto compiled = std::make_unique<List>();
        compiled->patterns.reserve(size_t(list.size()));
        for (const QString &pattern : list)
            compiled->patterns.push_back(matcher::compile(pattern));
        compiled->sources = list;
        std::vector<const Needle *> needles;
        bool all = true;
        for (const auto &pattern : compiled->patterns)
            all = all && pattern->needles(&needles);
        if (all && needles.size() > 1)
            compiled->needles.emplace(std::move(needles));
        m_lists.push_back(std::move(compiled));
    }
}

CMatcher::~CMatcher() = default;

CMatcher::Verdict CMatcher::verdict(const QString &text, QString *costly) const
{
    // A list that fails decides the text whatever an earlier list left open,
    // so an undecided list only counts when every other list is satisfied.
    const QString *open = nullptr;
    for (const auto &list : m_lists) {
        if (list->needles && !list->needles->anyIn(text))
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
                undecided = &list->sources.at(int(i));
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
    return m_lists.empty();
}

QString CMatcher::costlyPattern() const
{
    return m_costly;
}

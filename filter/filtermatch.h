// Conversions of a filter's criteria between display and pattern form, and
// the matching of record texts.
#ifndef FILTERMATCH_H
#define FILTERMATCH_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "cmatcher.h"

#include <cstring>

// The ten regular-expression fragments the pattern form is built from.
const QStringList &fragments();
// The six status labels of the display form, translated in "QObject".
const QStringList &statusLabels();
// Status label `index`, or "" for an index outside the list.
QString statusLabel(int index);
// The four source labels ("user [u]" ... "custom [c]").
const QStringList &sourceLabels();

// Six criterion lists in pattern form (no lists when there are fewer than six).
// An event name becomes "\[\b(s|f)\b\]\s(?:" + name + ")(?!\w)", so that it
// matches that event and no longer one, whatever non-word character follows
// the name; entries already in pattern form, of any version, stay as they are.
QList<QStringList> toPatternForm(const QList<QStringList> &lists);
// Six criterion lists in display form (no lists when there are fewer than six).
QList<QStringList> toDisplayForm(const QList<QStringList> &lists);

enum class FormDirection { ToDisplay, ToPattern };
// One user entry converted in `direction`: a known name, or a number (the
// id of a user this machine may not know), becomes "<\d+,\d+," + uid + ","
// (that id only); both that form and the older one without the comma turn
// back into the name, or the bare number for an id without a name here.
// Unknown names stay as typed.
QString userToPattern(const QString &entry, FormDirection direction);
// The same for groups, with "<\d+,\d+,\d+," + gid + ",".
QString groupToPattern(const QString &entry, FormDirection direction);

// True when `text` satisfies every non-empty list of `lists` (compiles them:
// use the CMatcher overloads for many texts). An undecided text reads as no
// match: see CMatcher::verdict.
bool matches(const QList<QStringList> &lists, const QString &text);
bool matches(const CMatcher &matcher, const QString &text);

// Where a bulk match stopped: the first text that the matcher could not
// decide within its limits (CMatcher::Verdict::Undecided), and the pattern
// that was too costly for it.
struct MatchStop
{
    int index = -1;  // that text's index in `texts`; -1 when every text was decided
    QString pattern; // the costly pattern, as the filter holds it
    bool stopped() const { return index >= 0; }
};

// countMatches and filterRows, with `stop`: they stop at the first undecided
// text and cover only the texts before it (stop->index); with every text
// decided, stop->index is -1. Without `stop` an undecided text counts as no
// match, for callers that cannot stop.
// Number of `texts` that match.
int countMatches(const CMatcher &matcher, const QStringList &texts, MatchStop *stop = nullptr);
int countMatches(const QList<QStringList> &lists, const QStringList &texts, MatchStop *stop = nullptr);
// The matching texts, in order, as result rows: user name, tab, text.
QStringList filterRows(const CMatcher &matcher, const QStringList &texts, MatchStop *stop = nullptr);
QStringList filterRows(const QList<QStringList> &lists, const QStringList &texts, MatchStop *stop = nullptr);
// Decides `texts` in order, calling `take(i)` for each match, up to the first
// text the matcher cannot decide (recorded in `stop`); `between()` is asked
// before every text after the first, and false ends the walk (the result is
// false then).
template <typename Take, typename Between>
bool walkMatches(const CMatcher &matcher, const QStringList &texts, MatchStop *stop, Take take, Between between)
{
    *stop = MatchStop();
    for (int i = 0; i < texts.size(); ++i) {
        if (i > 0 && !between())
            return false;
        QString costly;
        switch (matcher.verdict(texts.at(i), &costly)) {
        case CMatcher::Verdict::Match:
            take(i);
            break;
        case CMatcher::Verdict::NoMatch:
            break;
        case CMatcher::Verdict::Undecided:
            stop->index = i;
            stop->pattern = costly;
            return true;
        }
    }
    return true;
}
// The same walk over the texts of one block as CLog::forEachBlockUtf8 gives
// them (UTF-8, each followed by a NUL byte), matched as their bytes
// (CMatcher::verdictUtf8): `take(i, text, length)` gets the index, the
// bytes and the length of each match, so that only those need decoding.
template <typename Take, typename Between>
bool walkMatchesUtf8(const CMatcher &matcher, const QByteArray &texts, MatchStop *stop, Take take, Between between)
{
    *stop = MatchStop();
    const char *p = texts.constData();
    const char *const end = p + texts.size();
    for (int i = 0; p < end; ++i) {
        if (i > 0 && !between())
            return false;
        qsizetype length = 0;
        QString costly;
        switch (matcher.verdictUtf8Text(p, end, &length, &costly)) {
        case CMatcher::Verdict::Match:
            take(i, p, length);
            break;
        case CMatcher::Verdict::NoMatch:
            break;
        case CMatcher::Verdict::Undecided:
            stop->index = i;
            stop->pattern = costly;
            return true;
        }
        p += length + 1;
    }
    return true;
}
// Number of texts of `texts` (as for walkMatchesUtf8) that match, as countMatches counts.
int countMatchesUtf8(const CMatcher &matcher, const QByteArray &texts, MatchStop *stop = nullptr);
// User name of the record's user id ("" when unknown); cached per id.
QString userNameOf(const QString &text);

#endif

// A filter's criterion lists compiled once for matching many record texts.
#ifndef CMATCHER_H
#define CMATCHER_H

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace matcher {
class LiteralSet;
class TextGate;
}

class CMatcher
{
public:
    // What matching one text found out. Undecided: a pattern would have cost
    // more than its budget of some tens of milliseconds on this text (for the
    // patterns only QRegExp can decide, back-references above all, that is
    // foreseen from the processor time of trial runs, so it may vary a little
    // from run to run), and no other list decided the text either way.
    enum class Verdict { NoMatch, Match, Undecided };

    // Compiles every pattern of `lists` (pattern form) once, and those of
    // `hidden`, whose every entry of every list takes away the texts it
    // matches from those the lists let through.
    explicit CMatcher(const QList<QStringList> &lists = {}, const QList<QStringList> &hidden = {});
    ~CMatcher();
    CMatcher(const CMatcher &) = delete;
    CMatcher &operator=(const CMatcher &) = delete;

    // Whether `text` satisfies every non-empty list (AND of lists, OR of the
    // patterns inside a list; an invalid pattern never matches). On
    // Undecided, `costly` (when given) receives the pattern that was too
    // costly, as costlyPattern() does.
    Verdict verdict(const QString &text, QString *costly = nullptr) const;
    // verdict() of the UTF-8 text of `length` bytes at `utf8`, decoded as
    // QString::fromUtf8(utf8, length) decodes it (NUL bytes included); an
    // ASCII text is matched as it is, without making a QString of it.
    Verdict verdictUtf8(const char *utf8, qsizetype length, QString *costly = nullptr) const;
    // verdictUtf8() of the text at `utf8` that a NUL byte ends before `end`
    // (as CLog::forEachBlockUtf8 hands texts out); `length` receives its
    // length without the NUL, and `ascii`, when given, whether it is ASCII.
    // One pass finds both the end and whether the text is ASCII.
    Verdict verdictUtf8Text(const char *utf8, const char *end, qsizetype *length, QString *costly = nullptr,
                            bool *ascii = nullptr) const;
    // verdict() == Match. An undecided text reads as no match here: only for
    // callers that cannot stop on one; the others use verdict().
    bool matches(const QString &text) const;
    // True when there is no non-empty list and nothing hidden, so every text
    // matches.
    bool matchesEverything() const;
    // The pattern that left the most recent undecided text open; "" before any.
    QString costlyPattern() const;

private:
    struct List;
    // `gatePassed`: the gate has looked at `text` and let it pass; `found`:
    // an automaton that has found one of its literals in it.
    // The verdict of the lists alone, turned by the hidden values.
    Verdict withHidden(Verdict shown, const char *utf8, qsizetype length, QString *costly) const;
    Verdict withHidden(Verdict shown, const QString &text, QString *costly) const;
    Verdict verdictUtf8Shown(const char *utf8, qsizetype length, QString *costly) const;
    Verdict verdictUtf8TextShown(const char *utf8, const char *end, qsizetype *length, QString *costly,
                                 bool *ascii) const;
    template<typename Text>
    Verdict verdictOn(const Text &text, QString *costly, bool gatePassed = false,
                      const matcher::LiteralSet *found = nullptr) const;
    // The verdict on a text the pass that finds its end has let pass; an
    // ASCII text's literals of the pass's automaton start at `from` at the
    // earliest.
    Verdict verdictPassed(const char *utf8, qsizetype length, bool ascii, qsizetype from, QString *costly) const;

    std::vector<std::unique_ptr<List>> m_lists;
    std::unique_ptr<matcher::TextGate> m_gate; // null when no list suits it
    // Without a gate: the automaton of a list it decides alone, whose
    // literals are looked for in the pass that finds a text's end.
    const matcher::LiteralSet *m_endScan = nullptr;
    mutable QString m_costly;
    // The hidden values as one list; null when nothing is hidden.
    std::unique_ptr<const CMatcher> m_hidden;
};

#endif

#include "blockquestion.h"

#include "blocksummary.h"
#include "filtermatch.h"
#include "matcher/literalset.h"

#include <algorithm>

namespace {

// What QRegExp reads as a character of its own when escaped.
bool escapedPunctuation(ushort c)
{
    return c < 128 && c > 32 && !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
}

bool allDigits(const QString &s)
{
    if (s.isEmpty())
        return false;
    for (const QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

bool isWordStart(QChar c)
{
    return c.unicode() < 0x80 && (c.isLetterOrNumber() || c == QLatin1Char('_'));
}

// What a summary answers of `pattern`; false when it answers nothing.
template<typename Term>
bool termOf(const QString &pattern, Term *term)
{
    const QStringList &f = fragments();
    static const quint8 marks[] = {BlockSummary::Success, BlockSummary::Refusal, BlockSummary::KindUser,
                                   BlockSummary::KindProcess, BlockSummary::KindFile, BlockSummary::KindCustom};
    for (int i = 0; i < 6; ++i) {
        if (pattern == f.at(i)) {
            term->kind = Term::Mark;
            term->mark = marks[i];
            return true;
        }
    }
    // An id is matched as the digits it begins with: "<\d+,\d+,10" finds
    // the users 10, 100 and 1000 alike, and so does the summary's prefix.
    // The group fragment begins with the user one: it is tried first.
    const auto idTerm = [&](const QString &fragment, typename Term::Kind kind) {
        if (!pattern.startsWith(fragment))
            return false;
        const QString digits = pattern.mid(fragment.size());
        const int prefix = BlockSummary::idPrefixFor(digits.size());
        if (!allDigits(digits) || prefix == 0)
            return false;
        term->kind = kind;
        const QByteArray key = digits.left(prefix).toLatin1();
        term->key = kind == Term::User ? BlockSummary::userKey(key.constData(), key.size())
                                       : BlockSummary::groupKey(key.constData(), key.size());
        return true;
    };
    if (idTerm(f.at(6), Term::Group))
        return true;
    if (idTerm(f.at(7), Term::User))
        return true;
    // An event name that is a plain literal of ASCII characters, as long as
    // the summary's prefix; it must start with a word character, so that it
    // cannot bind to the fragment before it (a quantifier, say).
    if (pattern.startsWith(f.at(8))) {
        QString rest = pattern.mid(f.at(8).size());
        // The editor's whole-word form of a name, "(?:NAME)(?!\w)", matches
        // where NAME does and a word character does not follow: fewer places.
        const QString group = QStringLiteral("(?:");
        const QString wordEnd = QStringLiteral(")(?!\\w)");
        if (rest.startsWith(group) && rest.endsWith(wordEnd))
            rest = rest.mid(group.size(), rest.size() - group.size() - wordEnd.size());
        QString literal;
        if (rest.isEmpty() || !isWordStart(rest.at(0)) || !matcher::plainLiteral(rest, &literal)
            || literal.size() < BlockSummary::kEventPrefix)
            return false;
        for (const QChar c : literal) {
            if (c.unicode() >= 0x80 || c.unicode() < 0x20)
                return false;
        }
        term->kind = Term::Event;
        term->key = BlockSummary::eventKey(literal.left(BlockSummary::kEventPrefix).toLatin1().constData());
        return true;
    }
    return false;
}

// The runs of plain characters that every text `pattern` matches holds,
// read the way QRegExp reads the pattern; none for a pattern of
// alternatives or groups (which may take any of their parts away). A
// character a quantifier may drop is no part of a run, and "." or a class
// ends one.
QStringList requiredRuns(const QString &pattern)
{
    QStringList runs;
    QString run;
    const auto endRun = [&] {
        if (!run.isEmpty())
            runs.append(run);
        run.clear();
    };
    const int n = int(pattern.size());
    for (int i = 0; i < n; ++i) {
        const ushort c = pattern.at(i).unicode();
        switch (c) {
        case '|': case '(': case ')':
            return {};
        case '\\':
            if (i + 1 < n && escapedPunctuation(pattern.at(i + 1).unicode())) {
                run.append(pattern.at(++i));
            } else if (i + 1 < n && QByteArrayLiteral("dDsSwWbB").contains(char(pattern.at(i + 1).unicode()))) {
                // A class of one character, or a word boundary.
                endRun();
                ++i;
            } else {
                // A code (\x41, \0101, \n) or a back-reference: of more
                // characters than one, or of another one than it shows.
                return {};
            }
            break;
        case '*': case '?': case '{':
            if (!run.isEmpty())
                run.chop(1);
            endRun();
            if (c == '{') {
                while (i < n && pattern.at(i) != QLatin1Char('}'))
                    ++i;
            }
            break;
        case '+':
            endRun();
            break;
        case '[': {
            endRun();
            // "]" right after "[" or "[^" is one of the class's characters.
            int j = i + 1;
            if (j < n && pattern.at(j) == QLatin1Char('^'))
                ++j;
            if (j < n && pattern.at(j) == QLatin1Char(']'))
                ++j;
            while (j < n && pattern.at(j) != QLatin1Char(']')) {
                if (pattern.at(j) == QLatin1Char('\\'))
                    ++j;
                ++j;
            }
            if (j >= n)
                return {};
            i = j;
            break;
        }
        case '.': case '^': case '$': case ']': case '}':
            endRun();
            break;
        default:
            run.append(QChar(c));
            break;
        }
    }
    endRun();
    return runs;
}

// The keys of the path words that every text `pattern` matches holds (a
// run found in a text brings along the words inside it, whatever stands
// around it), up to BlockQuestion::kMostWords; empty when there are none.
std::vector<quint64> pathKeysOf(const QString &pattern)
{
    std::vector<quint64> keys;
    for (const QString &run : requiredRuns(pattern)) {
        const QByteArray utf8 = run.toUtf8();
        for (int i = 0; i + 4 < utf8.size() && int(keys.size()) < BlockQuestion::kMostWords; ++i) {
            if (utf8.at(i) == '/' && PathWords::isWord(utf8.constData() + i + 1))
                keys.push_back(PathWords::key(utf8.constData() + i + 1));
        }
    }
    return keys;
}

} // namespace

BlockQuestion::BlockQuestion(const QList<QStringList> &lists)
{
    for (const QStringList &list : lists) {
        if (list.isEmpty())
            continue;
        std::vector<Term> terms;
        bool answered = true;
        for (const QString &pattern : list) {
            Term term{Term::Mark, 0, 0};
            if (!termOf(pattern, &term)) {
                answered = false;
                break;
            }
            terms.push_back(term);
        }
        if (answered) {
            m_lists.push_back(std::move(terms));
            continue;
        }
        if (list.size() > kMostLiterals)
            continue;
        std::vector<std::vector<quint64>> literals;
        for (const QString &pattern : list) {
            std::vector<quint64> keys = pathKeysOf(pattern);
            if (keys.empty()) {
                literals.clear();
                break;
            }
            literals.push_back(std::move(keys));
        }
        if (!literals.empty())
            m_pathLists.push_back(std::move(literals));
    }
}

bool BlockQuestion::asksAnything() const
{
    return !m_lists.empty() || !m_pathLists.empty();
}

bool BlockQuestion::asksPaths() const
{
    return !m_pathLists.empty();
}

bool BlockQuestion::mayMatch(const BlockSummary &summary, const PathWords *paths) const
{
    // The lists combine with AND: one that no record can satisfy rules the
    // block out, whatever the others would say.
    for (const std::vector<Term> &terms : m_lists) {
        bool may = false;
        for (const Term &t : terms) {
            switch (t.kind) {
            case Term::Mark: may = (summary.marks & t.mark) != 0; break;
            case Term::Event: may = summary.mayHoldEvent(t.key); break;
            case Term::User: may = summary.mayHoldUser(t.key); break;
            case Term::Group: may = summary.mayHoldGroup(t.key); break;
            }
            if (may)
                break;
        }
        if (!may)
            return false;
    }
    if (!paths)
        return true;
    for (const std::vector<std::vector<quint64>> &literals : m_pathLists) {
        const bool may = std::any_of(literals.begin(), literals.end(), [paths](const std::vector<quint64> &keys) {
            return std::all_of(keys.begin(), keys.end(), [paths](quint64 key) { return paths->mayHold(key); });
        });
        if (!may)
            return false;
    }
    return true;
}

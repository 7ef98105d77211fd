#include "blockquestion.h"

#include "blocksummary.h"
#include "filtermatch.h"
#include "matcher/literalset.h"

namespace {

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
        if (answered)
            m_lists.push_back(std::move(terms));
    }
}

bool BlockQuestion::asksAnything() const
{
    return !m_lists.empty();
}

bool BlockQuestion::mayMatch(const BlockSummary &summary) const
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
    return true;
}

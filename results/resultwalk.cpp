#include "resultwalk.h"

#include <utility>

ResultWalk::ResultWalk(const LogSet *logs, const CMatcher &criteria, const TimeSpan &span, MayMatch mayMatch)
    : m_logs(logs), m_criteria(criteria), m_span(span), m_mayMatch(std::move(mayMatch))
{
}

void ResultWalk::forEachPiece(int first, int last, const Visit &visit, qint64 resumeAt) const
{
    if (m_logs)
        m_logs->forEachPieceUtf8(first, last, visit, m_span, resumeAt, m_mayMatch);
}

const CMatcher &ResultWalk::criteria() const
{
    return m_criteria;
}

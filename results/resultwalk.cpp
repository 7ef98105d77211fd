#include "resultwalk.h"

#include <utility>

ResultWalk::ResultWalk(const LogSet *logs, const CMatcher &criteria, const TimeSpan &span,
                       std::shared_ptr<const BlockTest> test)
    : m_logs(logs), m_criteria(criteria), m_span(span), m_test(std::move(test))
{
}

void ResultWalk::forEachPiece(int first, int last, const Visit &visit, qint64 resumeAt) const
{
    if (m_logs)
        m_logs->forEachPieceUtf8(first, last, visit, m_span, resumeAt, m_test.get());
}

const CMatcher &ResultWalk::criteria() const
{
    return m_criteria;
}

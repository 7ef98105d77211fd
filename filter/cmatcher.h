// A filter's criterion lists compiled once for matching many record texts.
#ifndef CMATCHER_H
#define CMATCHER_H

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class CMatcher
{
public:
    // Compiles every pattern of `lists` (pattern form) once.
    explicit CMatcher(const QList<QStringList> &lists = {});
    ~CMatcher();
    CMatcher(const CMatcher &) = delete;
    CMatcher &operator=(const CMatcher &) = delete;

    // True when `text` satisfies every non-empty list (AND of lists, OR of
    // the patterns inside a list; an invalid pattern never matches).
    bool matches(const QString &text) const;
    // True when there is no non-empty list, so every text matches.
    bool matchesEverything() const;

private:
    struct List;
    std::vector<std::unique_ptr<List>> m_lists;
};

#endif

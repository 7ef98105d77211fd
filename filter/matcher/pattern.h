// What every matching engine offers: the verdict on one text, and the
// literals one of which every text it matches holds.
#ifndef MATCHER_PATTERN_H
#define MATCHER_PATTERN_H

#include <QString>

#include <vector>

#include "cmatcher.h"
#include "needles.h"

namespace matcher {

using Verdict = CMatcher::Verdict;

// Match or NoMatch as `found` says.
inline Verdict verdictOf(bool found)
{
    return found ? Verdict::Match : Verdict::NoMatch;
}

// One compiled pattern.
class Pattern
{
public:
    virtual ~Pattern() = default;
    // QRegExp's answer for `text`, or Undecided when it would cost too much.
    virtual Verdict search(const QString &text) const = 0;
    // The same for an ASCII text (its bytes are its units).
    virtual Verdict search(AsciiView text) const
    {
        return search(QString::fromLatin1(reinterpret_cast<const char *>(text.data), int(text.size)));
    }
    // Adds needles one of which every text that matches holds; false when
    // the pattern has no such needles.
    virtual bool needles(std::vector<const Needle *> *out) const
    {
        Q_UNUSED(out);
        return false;
    }
};

} // namespace matcher

#endif

// The choice of engine for one pattern: the linear matcher, a literal
// search, PCRE under a match limit, or QRegExp itself under a time budget,
// whichever is fastest and still gives QRegExp's answer.
#ifndef MATCHER_ENGINES_H
#define MATCHER_ENGINES_H

#include <QString>

#include <memory>

#include "pattern.h"

namespace matcher {

// `source` (QRegExp syntax, case sensitive) compiled for the fastest engine
// that decides texts as QRegExp does; an invalid pattern never matches.
std::unique_ptr<Pattern> compile(const QString &source);

} // namespace matcher

#endif

// The linear matcher: patterns that are one sequence of single characters,
// classes, "+" runs that cannot take what follows them, and assertions (all
// the fragments the filter editor writes) run left to right without
// backtracking, unit by unit as QRegExp does.
#ifndef MATCHER_LINEARPATTERN_H
#define MATCHER_LINEARPATTERN_H

#include <memory>

#include "pattern.h"
#include "patterntree.h"

namespace matcher {

// The linear matcher for `alts`, or null when the pattern is not of that kind.
std::unique_ptr<Pattern> buildLinear(const Alts &alts);

} // namespace matcher

#endif

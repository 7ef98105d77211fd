// The event lists of the four source kinds, in index order.
#ifndef MLOGEVENTS_H
#define MLOGEVENTS_H

#include <stddef.h>

namespace mlogpriv {

struct EventList
{
    const char *const *names;
    int count;
    const char *marker; // "[u]", "[p]", "[f]" or "[c]"
};

constexpr int kindCount = 4;

// The list of `kind`, or null for an unknown kind.
const EventList *eventList(int kind);

} // namespace mlogpriv

#endif

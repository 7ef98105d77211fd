// The decoded form of a record and its text.
#ifndef MLOGTEXT_H
#define MLOGTEXT_H

#include <stddef.h>
#include <stdint.h>

namespace mlogpriv {

// What mlog_compile() hands out; the payload bytes follow the struct in the
// same malloc() block, so the caller's single free() releases everything.
struct Compiled
{
    uint32_t tag; // compiledTag, to turn away blocks that are not ours
    uint32_t time;
    uint32_t subject[5];
    uint16_t kind;
    uint16_t event;
    uint32_t status;
    uint16_t payloadLength;
    uint16_t flags;

    const unsigned char *payload() const { return reinterpret_cast<const unsigned char *>(this + 1); }
    unsigned char *payload() { return reinterpret_cast<unsigned char *>(this + 1); }
};

constexpr uint32_t compiledTag = 0x4d4c4f47u;

// Upper bound of the text length of `c`, not counting the terminating NUL.
size_t maxTextLength(const Compiled &c);

// Writes the text of `c` to `out` (maxTextLength() + 1 bytes) with a
// terminating NUL; returns its length.
size_t formatText(const Compiled &c, char *out);

// Forgets the cached local date, so that a changed time zone shows.
void resetDateCache();

} // namespace mlogpriv

#endif

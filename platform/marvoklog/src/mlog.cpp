// The C entry points. Every out-slot is cleared first, so that each early
// return leaves it null, and is only set to a complete malloc() block.
#include "mlog.h"

#include "mlogevents.h"
#include "mlogtext.h"

#include <stdlib.h>
#include <string.h>

using namespace mlogpriv;

namespace {

inline uint16_t le16(const unsigned char *p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

inline uint32_t le32(const unsigned char *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

} // namespace

#define MLOG_EXPORT extern "C" __attribute__((visibility("default")))

MLOG_EXPORT int mlog_init(void)
{
    return 0;
}

MLOG_EXPORT int mlog_listevents(int category, char **names)
{
    if (!names)
        return -1;
    *names = nullptr;
    const EventList *list = eventList(category);
    if (!list)
        return -1;
    size_t total = 0;
    for (int i = 0; i < list->count; ++i)
        total += strlen(list->names[i]) + 1;
    char *block = static_cast<char *>(malloc(total));
    if (!block)
        return -1;
    char *p = block;
    for (int i = 0; i < list->count; ++i) {
        const size_t len = strlen(list->names[i]) + 1;
        memcpy(p, list->names[i], len);
        p += len;
    }
    *names = block;
    return int(total);
}

MLOG_EXPORT int mlog_compile(void **compiled, const void *record, int64_t length)
{
    if (!compiled)
        return -1;
    *compiled = nullptr;
    if (!record || length < MLOG_HEADER_SIZE)
        return -1;
    const unsigned char *r = static_cast<const unsigned char *>(record);
    if (le32(r + MLOG_OFF_MAGIC) != MLOG_MAGIC)
        return -1;
    const uint16_t payloadLength = le16(r + MLOG_OFF_PAYLOAD_LENGTH);
    if (length != int64_t(MLOG_HEADER_SIZE) + payloadLength)
        return -1;
    const uint16_t kind = le16(r + MLOG_OFF_KIND);
    const uint16_t event = le16(r + MLOG_OFF_EVENT);
    const EventList *list = eventList(kind);
    if (!list || event >= list->count)
        return -1;

    Compiled *c = static_cast<Compiled *>(malloc(sizeof(Compiled) + payloadLength));
    if (!c)
        return -1;
    c->tag = compiledTag;
    c->time = le32(r + MLOG_OFF_TIME);
    for (int i = 0; i < 5; ++i)
        c->subject[i] = le32(r + MLOG_OFF_SUBJECT + 4 * i);
    c->kind = kind;
    c->event = event;
    c->status = le32(r + MLOG_OFF_STATUS);
    c->payloadLength = payloadLength;
    c->flags = le16(r + MLOG_OFF_FLAGS);
    if (payloadLength)
        memcpy(c->payload(), r + MLOG_HEADER_SIZE, payloadLength);
    *compiled = c;
    return 0;
}

MLOG_EXPORT char *mlog_txt_malloc(void *compiled)
{
    const Compiled *c = static_cast<const Compiled *>(compiled);
    if (!c || c->tag != compiledTag || !eventList(c->kind))
        return nullptr;
    if (c->flags & MLOG_FLAG_HIDDEN)
        return nullptr; // a housekeeping record: its text is empty
    char *text = static_cast<char *>(malloc(maxTextLength(*c) + 1));
    if (!text)
        return nullptr;
    formatText(*c, text);
    return text;
}

MLOG_EXPORT int mlog_done(void)
{
    resetDateCache();
    return 0;
}

/*
 * libmarvok-log.so.2 - audit log record library (stand-in).
 *
 * Call contract
 * -------------
 *   int   mlog_init(void);
 *         -1 on failure. Pairs with mlog_done().
 *   int   mlog_listevents(int category, char **names);
 *         Stores in *names a malloc()ed block of UTF-8 event names, each
 *         followed by one NUL byte, and returns the block's length; -1 on
 *         failure. *names is always left null or malloc()ed: the caller
 *         free()s it after success and after failure alike.
 *   int   mlog_compile(void **compiled, const void *record, int64_t length);
 *         Decodes one raw record (header plus payload). -1 when the record
 *         cannot be decoded. *compiled is always left null or malloc()ed and
 *         the caller free()s it whatever the result.
 *   char *mlog_txt_malloc(void *compiled);
 *         The record text as a malloc()ed NUL-terminated UTF-8 string (the
 *         caller free()s it); null stands for an empty text.
 *   int   mlog_done(void);
 *         Ends an mlog_init() or a batch of mlog_compile() calls (and lets
 *         the next batch see a changed time zone).
 *   mlog_compile() needs no mlog_init() before it. Null pointers and
 *   negative or short lengths are failures, never crashes.
 *
 * Record layout
 * -------------
 * A log is a flat sequence of records with no file header. Every record is a
 * 40-byte header followed by `payload length` bytes of payload. All fields
 * are little-endian.
 *
 *   offset width  field
 *    0      u32   magic, MLOG_MAGIC (bytes 80 19 12 10)
 *    4      u32   record time, seconds since 1970-01-01 00:00:00 UTC
 *    8      u32   subject 1: process id
 *   12      u32   subject 2: parent process id
 *   16      u32   subject 3: user id
 *   20      u32   subject 4: group id
 *   24      u32   subject 5: audit session id
 *   28      u16   source kind: 0 user, 1 user process, 2 file, 3 custom
 *   30      u16   event: index into the event list of the source kind
 *   32      u32   status: 0 success, anything else refusal
 *   36      u16   flags: bit 0 (MLOG_FLAG_HIDDEN) marks a housekeeping record
 *                 that has no text (mlog_txt_malloc gives null); others 0
 *   38      u16   payload length in bytes
 *   40      ...   payload: the event's parameters as UTF-8 text (paths,
 *                 command lines, key=value pairs), not NUL-terminated
 *
 * mlog_compile() fails on a wrong magic, a length other than
 * 40 + payload length, an unknown source kind or an event index beyond the
 * kind's list.
 *
 * Record text
 * -----------
 *   <kind> <s1,s2,s3,s4,s5> <status> <event> <yyyy-MM-dd hh:mm:ss>[ <params>]
 * with exactly one blank between the parts, where <kind> is "[u]", "[p]",
 * "[f]" or "[c]", s1 to s5 are the subject numbers in unsigned decimal,
 * <status> is "[s]" (success) or "[f]" (refusal), the date is the record
 * time in local time, and " <params>" is present only for a non-empty
 * payload: the payload with every control character (C0, DEL, C1) turned
 * into a blank and every byte that is not part of well-formed UTF-8 turned
 * into U+FFFD, so the text is always valid UTF-8 on one line, e.g.
 *   [f] <4212,4100,1000,1000,0> [f] unlink 2026-12-06 09:20:27 /home/alice/report.txt
 *
 * Event lists
 * -----------
 * Four lists (0 user, 1 user process, 2 file, 3 custom). A name may stand in
 * more than one list ("kill", "chmod") and may be a prefix of another
 * ("open", "openat"); an event is told by its kind and its whole name.
 */
#ifndef MLOG_H
#define MLOG_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define MLOG_MAGIC 0x10121980u
#define MLOG_HEADER_SIZE 40
#define MLOG_FLAG_HIDDEN 0x0001u

enum mlog_source_kind {
    MLOG_KIND_USER = 0,
    MLOG_KIND_PROCESS = 1,
    MLOG_KIND_FILE = 2,
    MLOG_KIND_CUSTOM = 3
};

enum mlog_header_offset {
    MLOG_OFF_MAGIC = 0,
    MLOG_OFF_TIME = 4,
    MLOG_OFF_SUBJECT = 8,
    MLOG_OFF_KIND = 28,
    MLOG_OFF_EVENT = 30,
    MLOG_OFF_STATUS = 32,
    MLOG_OFF_RESERVED = 36,
    MLOG_OFF_FLAGS = 36,
    MLOG_OFF_PAYLOAD_LENGTH = 38
};

int mlog_init(void);
int mlog_listevents(int category, char **names);
int mlog_compile(void **compiled, const void *record, int64_t length);
char *mlog_txt_malloc(void *compiled);
int mlog_done(void);

#ifdef __cplusplus
}
#endif

#endif

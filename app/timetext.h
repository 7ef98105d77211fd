// Times as people type them: on the command line (--from, --to) and in
// Go to time, read by one rule.
#ifndef TIMETEXT_H
#define TIMETEXT_H

#include <QDateTime>
#include <QString>

namespace TimeText {

// `text`, blanks around it ignored, as a time: ISO 8601 ("T" or a blank
// between date and time, seconds optional, an offset or "Z" optional; local
// time without one), or a date alone, which stands for its first second
// (`end`: its last), and so does a time to the minute for its minute.
// Invalid when it is none of these.
QDateTime parse(const QString &text, bool end = false);

} // namespace TimeText

#endif

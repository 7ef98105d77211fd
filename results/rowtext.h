// What a result row is made of: the row of a record text, and the refusal
// mark its row is shaded for, tested on a QString and on UTF-8 bytes.
// Inline: the counting loop asks for the mark of every record.
#ifndef ROWTEXT_H
#define ROWTEXT_H

#include <QByteArray>
#include <QString>

#include <cstring>

#include "filtermatch.h"

// The result row of a record text: its user's name, a tab, the text.
inline QString resultRow(const QString &text)
{
    return userNameOf(text) + QLatin1Char('\t') + text;
}

// True when `row` holds the refusal mark ">\s\[f\]", tested without a
// regular expression: the view asks for it on every paint of every row.
// isSpace() is what \s means to QRegExp.
inline bool isRefusal(const QString &row)
{
    const int size = row.size();
    for (int i = row.indexOf(QLatin1Char('>')); i >= 0 && i + 4 < size; i = row.indexOf(QLatin1Char('>'), i + 1)) {
        if (row.at(i + 1).isSpace() && row.at(i + 2) == QLatin1Char('[') && row.at(i + 3) == QLatin1Char('f')
            && row.at(i + 4) == QLatin1Char(']'))
            return true;
    }
    return false;
}

// The same mark in one text's UTF-8 bytes from `p` to `stop`, without
// making a string of them.
inline bool isRefusalUtf8(const char *p, const char *stop)
{
    for (const char *gt = p; (gt = static_cast<const char *>(std::memchr(gt, '>', size_t(stop - gt)))); ++gt) {
        // One white-space character: ASCII, or a longer UTF-8 sequence
        // decoded so that it means what QChar::isSpace() says.
        const char *mark = gt + 1;
        const uchar c = mark < stop ? uchar(*mark) : 0;
        if (c == ' ' || (c >= 9 && c <= 13)) {
            ++mark;
        } else if (c >= 0x80) {
            const int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
            if (stop - mark < len)
                continue;
            const QString ch = QString::fromUtf8(mark, len);
            if (ch.size() != 1 || !ch.at(0).isSpace())
                continue;
            mark += len;
        } else {
            continue;
        }
        if (stop - mark >= 3 && mark[0] == '[' && mark[1] == 'f' && mark[2] == ']')
            return true;
    }
    return false;
}

// Refusals among the NUL-separated texts of `texts`; their number goes to `count`.
inline int refusalsInUtf8(const QByteArray &texts, int *count)
{
    int refused = 0;
    int n = 0;
    const char *p = texts.constData();
    const char *const end = p + texts.size();
    while (p < end) {
        const char *const textEnd = static_cast<const char *>(std::memchr(p, 0, size_t(end - p)));
        const char *const stop = textEnd ? textEnd : end;
        ++n;
        refused += isRefusalUtf8(p, stop);
        p = stop + 1;
    }
    *count = n;
    return refused;
}

#endif

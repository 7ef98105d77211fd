// Writing bytes whole to a file descriptor, for the files the log reader
// keeps (the index file and its companion).
#ifndef FDWRITE_H
#define FDWRITE_H

#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <unistd.h>

// Writes `bytes` whole to `fd`, again after an interrupted or short write;
// false on any error (a full disk, a file size limit).
inline bool writeAll(int fd, const char *bytes, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size_t(std::min<qint64>(size, 1 << 30)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= n;
    }
    return true;
}

#endif

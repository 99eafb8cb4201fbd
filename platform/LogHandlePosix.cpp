// The logs' file operations on POSIX systems.
#include "platform/LogHandle.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

int OpenLogHandle(const char* fileName)
{
    return open(fileName, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666);
}

bool WriteLogBytes(int handle, const char* data, std::size_t n, long long& fileSize)
{
    const long long after = fileSize + static_cast<long long>(n);
    while (n > 0) {
        const ssize_t written = write(handle, data, n);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        data += written;
        n -= static_cast<std::size_t>(written);
    }
    fileSize = after;
    return true;
}

void TruncateLog(int handle, long long size)
{
    const int kept = errno;
    if (ftruncate(handle, static_cast<off_t>(size)) != 0) {
        // Nothing more can be done for a file that cannot even be cut.
    }
    errno = kept;
}

void CloseLogHandle(int handle)
{
    close(handle);
}

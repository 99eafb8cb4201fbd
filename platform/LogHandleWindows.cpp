// The logs' file operations on Windows: the C runtime's text mode writes
// each "\n" as "\r\n", as Windows programs expect of a text log.
#include "platform/LogHandle.h"
#include "platform/Utf8Path.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>

int OpenLogHandle(const char* fileName)
{
    return _wopen(Utf8Path(fileName).c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_APPEND | _O_TEXT | _O_NOINHERIT,
                 _S_IREAD | _S_IWRITE);
}

bool WriteLogBytes(int handle, const char* data, std::size_t n, long long& fileSize)
{
    while (n > 0) {
        const unsigned chunk = n > (1u << 30) ? (1u << 30) : static_cast<unsigned>(n);
        const int written = _write(handle, data, chunk);
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            return false;
        }
        data += written;
        n -= static_cast<std::size_t>(written);
    }
    // Text mode adds a byte per line end: ask the file where it ends.
    fileSize = _telli64(handle);
    return true;
}

void TruncateLog(int handle, long long size)
{
    const int kept = errno;
    _chsize_s(handle, size);
    errno = kept;
}

void CloseLogHandle(int handle)
{
    _close(handle);
}

// LogFile: line-whole writing and the notice when logging stops.
#include "core/LogFile.h"

#include "platform/LogHandle.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

LogFile::LogFile(const char* fileName, std::ostream* alsoTell) : name(fileName), alsoTell(alsoTell)
{
    file = OpenLogHandle(fileName);
    if (file < 0)
        openError = std::strerror(errno);
}

LogFile::~LogFile()
{
    sync();
    if (!pending.empty())
        WriteLine(pending.data(), pending.size());
    if (file >= 0)
        CloseLogHandle(file);
}

int LogFile::overflow(int c)
{
    if (c != traits_type::eof())
        pending.push_back(static_cast<char>(c));
    return traits_type::not_eof(c);
}

std::streamsize LogFile::xsputn(const char* s, std::streamsize n)
{
    pending.append(s, static_cast<std::size_t>(n));
    return n;
}

int LogFile::sync()
{
    std::size_t start = 0;
    for (std::size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n', start)) {
        WriteLine(pending.data() + start, end + 1 - start);
        start = end + 1;
    }
    pending.erase(0, start);
    return 0;
}

bool LogFile::WriteLine(const char* data, std::size_t n)
{
    if (file < 0 || stopped)
        return false;
    if (WriteLogBytes(file, data, n, size)) {
        ++lines;
        return true;
    }
    // Whatever part of the line reached the file is cut off again.
    const std::string why = std::strerror(errno);
    TruncateLog(file, size);
    stopped = true;
    const std::string notice = "Veldmarrow: logging to " + name + " stopped after " + std::to_string(lines) +
                               " lines: " + why;
    std::fprintf(stderr, "%s\n", notice.c_str());
    std::fflush(stderr);
    if (alsoTell != nullptr)
        *alsoTell << notice << std::endl;
    return false;
}

LogRedirect::LogRedirect(std::ostream& stream, const char* fileName, std::ostream* alsoTell)
    : stream(stream), file(fileName, alsoTell), original(stream.rdbuf(&file))
{
}

LogRedirect::~LogRedirect()
{
    stream.rdbuf(original);
}

void ReportUnwritableLogs(const LogFile& log, const LogFile& errors, const char* folder)
{
    if (log.IsOpen() && errors.IsOpen())
        return;
    std::string which = !log.IsOpen() && !errors.IsOpen() ? "log.txt and error.txt"
                        : !log.IsOpen()                   ? "log.txt"
                                                          : "error.txt";
    const std::string why = !log.IsOpen() ? log.OpenError() : errors.OpenError();
    std::fprintf(stderr,
                 "Veldmarrow: cannot write %s in %s (%s); running without %s, and any such file "
                 "there is from an earlier run\n",
                 which.c_str(), folder, why.c_str(), !log.IsOpen() && !errors.IsOpen() ? "them" : "it");
    std::fflush(stderr);
}

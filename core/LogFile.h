// LogFile: a text log that receives whole lines or nothing. When writing
// fails (disk full, an I/O error) the log stops, says so once, and the
// program goes on.
#pragma once
#include <ostream>
#include <streambuf>
#include <string>

class LogFile : public std::streambuf {
public:
    // Creates or truncates `fileName`. When writing stops, the notice goes
    // to the terminal's standard error and, if given, to `alsoTell`.
    LogFile(const char* fileName, std::ostream* alsoTell);
    // Writes what is left, then closes the file.
    ~LogFile() override;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Whether the file could be opened, and why not.
    bool IsOpen() const { return file >= 0; }
    const std::string& OpenError() const { return openError; }
    // Lines written whole so far.
    long Lines() const { return lines; }

protected:
    int overflow(int c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    // Writes every complete line held (std::endl ends up here).
    int sync() override;

private:
    std::string name;
    std::ostream* alsoTell;
    int file = -1;
    std::string openError;
    std::string pending; // text not yet written: at most one unfinished line after sync
    long long size = 0;  // bytes in the file, all of them whole lines
    long lines = 0;
    bool stopped = false;

    // Writes one line (or the unfinished tail at close); false if the
    // logging has stopped.
    bool WriteLine(const char* data, std::size_t n);
};

// Attaches a standard stream to a LogFile for as long as this object lives,
// and gives the stream its own buffer back before the file goes away.
class LogRedirect {
public:
    LogRedirect(std::ostream& stream, const char* fileName, std::ostream* alsoTell = nullptr);
    ~LogRedirect();
    LogRedirect(const LogRedirect&) = delete;
    LogRedirect& operator=(const LogRedirect&) = delete;
    const LogFile& File() const { return file; }
    // The stream's own buffer (the terminal, usually).
    std::streambuf* Original() const { return original; }

private:
    std::ostream& stream;
    LogFile file;
    std::streambuf* original;
};

// One line on the terminal's standard error when either log cannot be
// written: the run goes on without it, and a file of that name in `folder`
// (said as "the working folder", say) is an earlier run's.
void ReportUnwritableLogs(const LogFile& log, const LogFile& errors, const char* folder);

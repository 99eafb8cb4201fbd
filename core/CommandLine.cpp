// CommandLine: argument parsing and the help texts.
#include "core/CommandLine.h"

#include <cstring>

#include "core/ExitStatus.h"
#include "core/PrintableText.h"
#include "core/Version.h"

namespace {

struct DemoOption {
    const char* name;
    RunMode mode;
};
const DemoOption DemoOptions[] = {
    {"--record", RunMode::Record},
    {"--play", RunMode::Play},
    {"--timedemo", RunMode::Timedemo},
};

CommandLine Invalid(const std::string& why)
{
    CommandLine c;
    c.mode = RunMode::Invalid;
    c.error = why;
    return c;
}

} // namespace

CommandLine ParseCommandLine(int argc, const char* const argv[])
{
    CommandLine result;
    bool haveMode = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        RunMode mode = RunMode::Invalid;
        const DemoOption* demoOption = nullptr;
        for (const DemoOption& option : DemoOptions)
            if (std::strcmp(arg, option.name) == 0)
                demoOption = &option;
        if (demoOption != nullptr)
            mode = demoOption->mode;
        else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0)
            mode = RunMode::Help;
        else if (std::strcmp(arg, "--version") == 0)
            mode = RunMode::Version;
        else
            return Invalid("unknown argument '" + PrintableText(arg) + "'");

        if (haveMode)
            return Invalid("'" + PrintableText(arg) + "' cannot be combined with another option");
        haveMode = true;
        result.mode = mode;
        if (demoOption != nullptr) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
                return Invalid(std::string(arg) + " needs a demo file name");
            result.demoFile = argv[++i];
        }
    }
    return result;
}

std::string UsageLine()
{
    return "Usage: veldmarrow [--record FILE | --play FILE | --timedemo FILE | --help | --version]";
}

std::string HelpText()
{
    return UsageLine() + "\n"
                         "Without arguments: play. Settings come from settings.lua in the working\n"
                         "directory; log.txt and error.txt are written there.\n"
                         "  --record FILE    play as usual and write the session to FILE as a demo\n"
                         "  --play FILE      replay the demo FILE at the normal pace; the last picture\n"
                         "                   stays until Escape or the window is closed\n"
                         "  --timedemo FILE  replay the demo FILE as fast as possible, vertical sync\n"
                         "                   off, then report frame times, memory and the terrain\n"
                         "                   checksum here and in log.txt\n"
                         "  --help           this text\n"
                         "  --version        the program's version\n"
                         "An argument not understood ends the run with status 4; a demo that is\n"
                         "refused or cannot be written, or a replay that does not reproduce its\n"
                         "recording, with status 5; a replay ended before its last pass with\n"
                         "status 8; each with the reason in error.txt.\n";
}

bool AnswerWithoutRunning(const CommandLine& command, std::ostream& out, std::ostream& err, int& status)
{
    status = ExitStatus::Normal;
    switch (command.mode) {
    case RunMode::Help:
    case RunMode::Version:
        if (command.mode == RunMode::Help)
            out << HelpText() << std::flush;
        else
            out << "Veldmarrow " << ProgramVersion << std::endl;
        // Output that went nowhere (a full disk, a closed pipe) is a failure.
        if (!out) {
            err << "veldmarrow: cannot write the " << (command.mode == RunMode::Help ? "help text" : "version")
                << std::endl;
            status = ExitStatus::CannotAnswer;
        }
        return true;
    case RunMode::Invalid:
        err << "veldmarrow: " << command.error << "\n" << UsageLine() << std::endl;
        status = ExitStatus::Usage;
        return true;
    default:
        return false;
    }
}

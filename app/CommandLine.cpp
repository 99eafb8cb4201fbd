// CommandLine: argument parsing and the help texts.
#include "app/CommandLine.h"

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
        if (std::strcmp(arg, "--world") == 0) {
            if (!result.worldFile.empty())
                return Invalid("--world given twice");
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
                return Invalid("--world needs a world file name");
            result.worldFile = argv[++i];
            continue;
        }
        if (std::strcmp(arg, "--data-dir") == 0) {
            if (!result.dataDir.empty())
                return Invalid("--data-dir is given twice");
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
                return Invalid("--data-dir needs a folder name");
            result.dataDir = argv[++i];
            continue;
        }
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
    if (!result.dataDir.empty() && (result.mode == RunMode::Help || result.mode == RunMode::Version))
        result.dataDir.clear(); // answered without running: no folder to enter
    return result;
}

std::string UsageLine()
{
    return "Usage: veldmarrow [--data-dir DIR] [--world FILE] [--record FILE | --play FILE | --timedemo FILE | --help | --version]";
}

std::string HelpText()
{
    return UsageLine() + "\n"
                         "Without arguments: play. Settings come from settings.lua in the working\n"
                         "directory; log.txt and error.txt are written there.\n"
                         "  --world FILE     play in the world kept in FILE: resume it if FILE exists,\n"
                         "                   otherwise generate a new world and create FILE. Digging\n"
                         "                   is saved at most 2 seconds after it happens and at every\n"
                         "                   ending. settings.lua may name the file instead (worldFile);\n"
                         "                   this option wins. With --play or --timedemo the world is\n"
                         "                   only read, never written. Where you stood is kept too.\n"
                         "                   The installed command, playing, keeps my.world in your\n"
                         "                   folder when no world is named\n"
                         "  --record FILE    play as usual and write the session to FILE as a demo\n"
                         "  --play FILE      replay the demo FILE at the normal pace; the last picture\n"
                         "                   stays until Escape or the window is closed\n"
                         "  --timedemo FILE  replay the demo FILE as fast as possible, vertical sync\n"
                         "                   off, then report frame times, memory and the terrain\n"
                         "                   checksum here and in log.txt\n"
                         "  --data-dir DIR   run in your own folder, $XDG_DATA_HOME/veldmarrow (by\n"
                         "                   default ~/.local/share/veldmarrow): a copy of DIR's\n"
                         "                   settings.lua is put there on the first start, and DIR's\n"
                         "                   images serve where the folder has none of its own. FILE\n"
                         "                   names keep meaning what they meant where you typed them.\n"
                         "                   The installed command passes it.\n"
                         "  --help           this text\n"
                         "  --version        the program's version\n"
                         "An argument not understood ends the run with status 4; a demo that is\n"
                         "refused or cannot be written, or a replay that does not reproduce its\n"
                         "recording, with status 5; a replay ended before its last pass with\n"
                         "status 8. A world that cannot be used ends the run with status 9, one\n"
                         "held by another running Veldmarrow with 10, and a final save that\n"
                         "failed with 11; a folder for --data-dir that cannot be made or entered\n"
                         "with status 12. Each gives the reason in error.txt.\n"
                         "Controls: the mouse looks; W/A/S/D move; space rises (walking: jumps);\n"
                         "Shift sinks; F switches between flying and walking; the left button digs;\n"
                         "Ctrl+left removes one voxel; the right button places the selected type;\n"
                         "the middle button selects the type looked at; 1-9 and the wheel select a\n"
                         "slot; H hides or shows the crosshair and slots; Escape quits.\n";
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

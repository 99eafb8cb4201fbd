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
    {"--serve", RunMode::Serve},
    {"--join", RunMode::Join},
};

// A whole number from `low` to `high` in plain decimal, or 0.
int Number(const char* text, int low, int high)
{
    long value = 0;
    if (text[0] == '\0' || (text[0] == '0' && text[1] != '\0'))
        return 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9' || value > high)
            return 0;
        value = value * 10 + (*p - '0');
    }
    return value >= low && value <= high ? static_cast<int>(value) : 0;
}

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
    bool haveWorld = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--world") == 0) {
            if (haveWorld)
                return Invalid("--world given twice");
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
                return Invalid("--world needs a world file name");
            result.worldFile = argv[++i];
            haveWorld = true;
            continue;
        }
        if (std::strcmp(arg, "--port") == 0 || std::strcmp(arg, "--players") == 0) {
            const bool port = arg[2] == 'p' && arg[3] == 'o';
            int& value = port ? result.port : result.players;
            if (value != 0)
                return Invalid(std::string(arg) + " given twice");
            value = i + 1 < argc ? Number(argv[i + 1], 1, port ? 65535 : 256) : 0;
            if (value == 0)
                return Invalid(std::string(arg) + (port ? " needs a port number from 1 to 65535" :
                                                          " needs a number of players from 1 to 256"));
            ++i;
            continue;
        }
        if (std::strcmp(arg, "--password") == 0 || std::strcmp(arg, "--name") == 0) {
            const bool password = arg[2] == 'p';
            if (password ? result.hasPassword : !result.name.empty())
                return Invalid(std::string(arg) + " given twice");
            if (i + 1 >= argc || (!password && argv[i + 1][0] == '\0'))
                return Invalid(std::string(arg) + (password ? " needs the password" : " needs a name"));
            (password ? result.password : result.name) = argv[++i];
            result.hasPassword |= password;
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

        const auto demo = [](RunMode m) { return m == RunMode::Record || m == RunMode::Play || m == RunMode::Timedemo; };
        if (haveMode && ((demo(mode) && result.mode == RunMode::Join) || (mode == RunMode::Join && demo(result.mode))))
            return Invalid("a demo cannot be recorded or replayed while joined to a server (not yet)");
        if (haveMode)
            return Invalid("'" + PrintableText(arg) + "' cannot be combined with another option");
        haveMode = true;
        result.mode = mode;
        if (demoOption != nullptr) {
            const char* what = mode == RunMode::Serve  ? " needs a world file name" :
                               mode == RunMode::Join ? " needs a server, HOST or HOST:PORT" :
                                                       " needs a demo file name";
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
                return Invalid(std::string(arg) + what);
            (mode == RunMode::Serve ? result.worldFile : mode == RunMode::Join ? result.server : result.demoFile) =
                argv[++i];
        }
    }
    const bool serve = result.mode == RunMode::Serve, join = result.mode == RunMode::Join;
    if (serve && haveWorld)
        return Invalid("--serve names the world itself: --world cannot be given with it");
    if (join && haveWorld)
        return Invalid("--join plays in the server's world: --world cannot be given with it");
    if (!serve && (result.port != 0 || result.players != 0))
        return Invalid(std::string(result.port != 0 ? "--port" : "--players") + " is for --serve");
    if (!serve && !join && result.hasPassword)
        return Invalid("--password is for --serve and --join");
    if (!join && !result.name.empty())
        return Invalid("--name is for --join");
    if (!result.dataDir.empty() && (result.mode == RunMode::Help || result.mode == RunMode::Version))
        result.dataDir.clear(); // answered without running: no folder to enter
    return result;
}

std::string UsageLine()
{
    return "Usage: veldmarrow [--data-dir DIR] [--world FILE] [--record FILE | --play FILE | --timedemo FILE | "
           "--serve FILE [--port N] [--players N] [--password TEXT] | --join HOST[:PORT] [--name NAME] "
           "[--password TEXT] | --help | --version]";
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
                         "  --serve FILE     serve the world kept in FILE to players over the network,\n"
                         "                   without a window: UDP port 30517 unless --port N says\n"
                         "                   another; at most --players N at once (default 8, or the\n"
                         "                   setting serverPlayers); with --password TEXT (or the\n"
                         "                   setting serverPassword) only players who give it get in.\n"
                         "                   Logs to log.txt beside FILE; SIGTERM, SIGINT and SIGHUP\n"
                         "                   save the world and end it\n"
                         "  --join HOST[:PORT]\n"
                         "                   play in the world a server serves: after the splash, its\n"
                         "                   world comes over the network; everyone's edits are the\n"
                         "                   server's. --name NAME (or the setting playerName) is who\n"
                         "                   you are there: a name it knows starts where it left;\n"
                         "                   --password TEXT when the server asks for one\n"
                         "  --help           this text\n"
                         "  --version        the program's version\n"
                         "An argument not understood ends the run with status 4; a demo that is\n"
                         "refused or cannot be written, or a replay that does not reproduce its\n"
                         "recording, with status 5; a replay ended before its last pass with\n"
                         "status 8. A world that cannot be used ends the run with status 9, one\n"
                         "held by another running Veldmarrow with 10, and a final save that\n"
                         "failed with 11; a folder for --data-dir that cannot be made or entered\n"
                         "with status 12. A server that cannot listen (the port taken) ends with\n"
                         "13; joining ends with 14 when the server cannot be reached, is silent or\n"
                         "the connection is lost, and with 15 when it refuses (full, a wrong\n"
                         "password, another protocol version, the name in use or not allowed).\n"
                         "Each gives the reason in error.txt.\n"
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

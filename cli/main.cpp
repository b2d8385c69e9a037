// qwdump: the command-line companion of Quarven Wave Dump.

#include "Command.h"
#include "ExitStatus.h"
#include "HelpFormatter.h"
#include "MidiExit.h"
#include "PrintableText.h"
#include "StandardOutput.h"
#include "SystemLog.h"
#include "Termination.h"

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    OccupyClosedStandardDescriptors();
    // Past a file-size limit a write fails instead of killing qwdump, which
    // can then remove its temporary file and say why.
    std::signal(SIGXFSZ, SIG_IGN);
    CatchTerminationSignals();

    CLI::App app("Quarven Wave Dump: pack a 128-sample wave from a WAV file into a MIDI wave dump and send it",
                 "qwdump");
    // Before the commands are added: each takes its parent's formatter.
    app.formatter(std::make_shared<HelpFormatter>());
    app.require_subcommand(1);
    // A flag is there or not: `--invert=0` or `--normalize=false` would read
    // as asking for it, so every flag, each command's included, refuses a value.
    app.option_defaults()->disable_flag_override();
    app.set_version_flag("--version", "qwdump " QWD_VERSION, "Print the version and exit");
    // Global options may also follow the command's own.
    app.fallthrough();
    bool verbose = false;
    app.add_flag("--verbose,-v", verbose,
                 "Also print log lines such as \"MIDISendSysex = STATUS\" on stderr, and with fit a line per frame");

    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(AddPackCommand(app));
    commands.push_back(AddShowCommand(app));
    commands.push_back(AddPortsCommand(app));
    commands.push_back(AddSendCommand(app));
    commands.push_back(AddFitCommand(app));
    commands.push_back(AddReceiveCommand(app));
    commands.push_back(AddUnpackCommand(app));
    commands.push_back(AddPlayCommand(app));
    commands.push_back(AddShapeCommand(app));
    commands.push_back(AddMorphCommand(app));
    commands.push_back(AddCompareCommand(app));

    // Only the command on the command line gets its options: the first
    // argument that is not an option names it. Without one, or with a name no
    // command has, every command gets them.
    const Command* named = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-')
            continue;
        std::string names;
        for (const auto& command : commands) {
            if (command->Name() == argv[i])
                named = command.get();
            names += (names.empty() ? "" : ", ") + command->Name();
        }
        if (named == nullptr) {
            std::fprintf(stderr, "qwdump: unknown command '%s'; the commands are %s (see qwdump --help)\n",
                         EscapeControlCharacters(argv[i]).c_str(), names.c_str());
            return kExitUsage;
        }
        break;
    }
    for (const auto& command : commands)
        if (named == nullptr || command.get() == named)
            command->AddOptions();

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0)
            return app.exit(e);
        std::fprintf(stderr, "qwdump: %s (see qwdump --help)\n", e.what());
        return kExitUsage;
    }

    SetLogToStderr(verbose);
    for (const auto& command : commands)
        if (command->WasChosen())
            return CloseMidiAndReturn(command->Run());
    return kExitUsage;
}

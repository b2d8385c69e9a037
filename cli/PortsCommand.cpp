// qwdump ports: the title of every MIDI destination, one per line, in the
// order and form the window's port popup shows them.

#include "Command.h"
#include "DestinationDirectory.h"
#include "ExitStatus.h"
#include "MidiService.h"
#include "PrintableText.h"
#include "StandardOutput.h"

#include <string>

namespace {

class PrintedPopup : public TitlePopup
{
public:
    // One line each, whatever control characters a title holds.
    void AddItemWithTitle(const std::string& title) override
    {
        Print("%s\n", EscapeControlCharacters(title).c_str());
    }
};

class PortsCommand : public Command
{
public:
    explicit PortsCommand(CLI::App& app)
        : Command(app.add_subcommand("ports", "List the MIDI destinations by title, \"Name (Model)\""))
    {
    }

    int Run() override
    {
        PrintedPopup popup;
        AddMIDIPortsToPopup(popup);
        MIDIServiceShutDown();
        return FinishStandardOutput(kExitOk);
    }
};

}  // namespace

std::unique_ptr<Command> AddPortsCommand(CLI::App& app)
{
    return std::make_unique<PortsCommand>(app);
}

// qwdump ports [--addresses]: the title of every MIDI destination, one per
// line, in the order and form the window's port popup shows them; with
// --addresses, a tab and the destination's address after each title.

#include "Command.h"
#include "DestinationDirectory.h"
#include "ExitStatus.h"
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

    void AddOptions() override
    {
        m_subcommand->add_flag("--addresses,-a", m_addresses,
                               "Add each destination's address after a tab (ALSA CLIENT:PORT, JACK client:port)");
    }

    int Run() override
    {
        if (m_addresses) {
            for (const ListedDestination& destination : ListMIDIDestinations())
                Print("%s\t%s\n", EscapeControlCharacters(destination.title).c_str(),
                      EscapeControlCharacters(destination.address).c_str());
        } else {
            PrintedPopup popup;
            AddMIDIPortsToPopup(popup);
        }
        return FinishStandardOutput(kExitOk);
    }

private:
    bool m_addresses = false;
};

}  // namespace

std::unique_ptr<Command> AddPortsCommand(CLI::App& app)
{
    return std::make_unique<PortsCommand>(app);
}

// qwdump ports [--sources] [--addresses]: the title of every MIDI
// destination, one per line, in the order and form the window's port popup
// shows them, or of every source; with --addresses, a tab and the port's
// address after each title.

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
    void AddItemWithTitle(const std::string& title) override { Print("%s\n", EscapeControlCharacters(title).c_str()); }
};

class PortsCommand : public Command
{
public:
    explicit PortsCommand(CLI::App& app)
        : Command(app.add_subcommand("ports", "List the MIDI destinations (or sources) by title, \"Name (Model)\""))
    {
    }

    void AddOptions() override
    {
        m_subcommand->add_flag("--addresses,-a", m_addresses,
                               "Add each port's address after a tab (ALSA CLIENT:PORT, JACK client:port)");
        m_subcommand->add_flag("--sources,-s", m_sources, "List the sources, which 'qwdump receive' listens to");
    }

    int Run() override
    {
        if (m_addresses || m_sources) {
            for (const ListedPort& port : ListMIDIPorts(m_sources)) {
                const std::string title = EscapeControlCharacters(port.title);
                if (m_addresses)
                    Print("%s\t%s\n", title.c_str(), EscapeControlCharacters(port.address).c_str());
                else
                    Print("%s\n", title.c_str());
            }
        } else {
            PrintedPopup popup;
            AddMIDIPortsToPopup(popup);
        }
        return FinishStandardOutput(kExitOk);
    }

private:
    bool m_addresses = false;
    bool m_sources = false;
};

}  // namespace

std::unique_ptr<Command> AddPortsCommand(CLI::App& app)
{
    return std::make_unique<PortsCommand>(app);
}

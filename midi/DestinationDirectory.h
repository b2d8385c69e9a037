// Destinations (and sources) shown and found again by their title, "Name
// (Model)". No endpoint is kept: a send walks the destinations again and
// compares titles.
#pragma once

#include "MidiService.h"

#include <optional>
#include <string>
#include <vector>

// Where the titles go: the window's port popup, or qwdump's output.
class TitlePopup
{
public:
    virtual ~TitlePopup() = default;
    virtual void AddItemWithTitle(const std::string& title) = 0;
};

// Appends one item per destination, in index order; existing items stay.
void AddMIDIPortsToPopup(TitlePopup& popup);

// The first destination, in index order, whose title equals `title` exactly,
// or 0 when none does or there is no title.
MIDIEndpointRef FindMIDIPortByTitle(const std::optional<std::string>& title);

// The first destination (or source) whose exact title is `port`, or else
// the first whose address is `port` ("14:0", "midi-monitor:input"); 0 when
// none. Every title keeps working, since titles are tried first.
MIDIEndpointRef FindMIDIPortByTitleOrAddress(const std::string& port, bool sources = false);

// FindMIDIPortByTitle and FindMIDIPortByTitleOrAddress answered from the
// pump (MidiService.h): `found` gets the endpoint, or 0, once the systems have
// answered; at once when there is no title.
using FoundMIDIPort = std::function<void(MIDIEndpointRef)>;
void FindMIDIPortByTitleThen(const std::optional<std::string>& title, FoundMIDIPort found);
void FindMIDIPortByTitleOrAddressThen(const std::string& port, bool sources, FoundMIDIPort found);

struct ListedPort
{
    std::string title;  // "Name (Model)"; an empty model still shows its parentheses
    std::string address;
    MIDIEndpointRef endpoint;
};
// Every destination (or source) in index order.
std::vector<ListedPort> ListMIDIPorts(bool sources = false);

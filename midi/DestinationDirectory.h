// Destinations shown and found again by their title, "Name (Model)". No
// endpoint is kept: a send walks the destinations again and compares titles.
#pragma once

#include "MidiService.h"

#include <optional>
#include <string>

// Where the titles go: the window's port popup, or qwdump's output.
class TitlePopup
{
public:
    virtual ~TitlePopup() = default;
    virtual void AddItemWithTitle(const std::string& title) = 0;
};

// "Name (Model)"; an empty model still shows its parentheses.
std::string DestinationTitle(const std::string& name, const std::string& model);

// Appends one item per destination, in index order; existing items stay.
void AddMIDIPortsToPopup(TitlePopup& popup);

// The first destination, in index order, whose title equals `title` exactly,
// or 0 when none does or there is no title.
MIDIEndpointRef FindMIDIPortByTitle(const std::optional<std::string>& title);

#include "DestinationDirectory.h"

std::vector<ListedPort> ListMIDIPorts(bool sources)
{
    const MIDIListing listing;
    std::vector<ListedPort> listed;
    // The count is asked again before each step: destinations may come and
    // go. Name, model and address are read from the one endpoint taken for
    // index i, so a list that shifts between the reads can't mix two ports.
    // A property that can't be read shows as empty.
    for (ItemCount i = 0; i < (sources ? MIDIGetNumberOfSources() : MIDIGetNumberOfDestinations()); ++i) {
        const MIDIEndpointRef endpoint = sources ? MIDIGetSource(i) : MIDIGetDestination(i);
        std::string name;
        std::string model;
        std::string address;
        MIDIObjectGetStringProperty(endpoint, kMIDIPropertyName, name);
        MIDIObjectGetStringProperty(endpoint, kMIDIPropertyModel, model);
        MIDIObjectGetStringProperty(endpoint, kMIDIPropertyAddress, address);
        listed.push_back({name + " (" + model + ")", address, endpoint});
    }
    return listed;
}

void AddMIDIPortsToPopup(TitlePopup& popup)
{
    for (const ListedPort& port : ListMIDIPorts())
        popup.AddItemWithTitle(port.title);
}

MIDIEndpointRef FindMIDIPortByTitle(const std::optional<std::string>& title)
{
    for (const ListedPort& port : title ? ListMIDIPorts() : std::vector<ListedPort>()) {
        if (port.endpoint != 0 && port.title == *title)
            return port.endpoint;
    }
    return 0;
}

MIDIEndpointRef FindMIDIPortByTitleOrAddress(const std::string& port, bool sources)
{
    const std::vector<ListedPort> listed = ListMIDIPorts(sources);
    for (const ListedPort& each : listed) {
        if (each.title == port)
            return each.endpoint;
    }
    for (const ListedPort& each : listed) {
        if (each.address == port)
            return each.endpoint;
    }
    return 0;
}

void FindMIDIPortByTitleThen(const std::optional<std::string>& title, FoundMIDIPort found)
{
    if (!title) {
        found(0);
        return;
    }
    MIDIListThen(false, [title = *title, found = std::move(found)] { found(FindMIDIPortByTitle(title)); });
}

void FindMIDIPortByTitleOrAddressThen(const std::string& port, bool sources, FoundMIDIPort found)
{
    MIDIListThen(sources,
                 [port, sources, found = std::move(found)] { found(FindMIDIPortByTitleOrAddress(port, sources)); });
}

#include "DestinationDirectory.h"

#include <initializer_list>

std::string DestinationTitle(const std::string& name, const std::string& model)
{
    return name + " (" + model + ")";
}

namespace {

// Name and model are both read from the one endpoint taken for index i, so
// a destination list that shifts between the reads can't pair the name of
// one destination with the model of another. A property that can't be read
// shows as empty.
std::string TitleOf(MIDIEndpointRef endpoint)
{
    std::string name;
    std::string model;
    MIDIObjectGetStringProperty(endpoint, kMIDIPropertyName, name);
    MIDIObjectGetStringProperty(endpoint, kMIDIPropertyModel, model);
    return DestinationTitle(name, model);
}

}  // namespace

void AddMIDIPortsToPopup(TitlePopup& popup)
{
    const MIDIListing listing;
    // The count is asked again before each step: destinations may come and go.
    for (ItemCount i = 0; i < MIDIGetNumberOfDestinations(); ++i)
        popup.AddItemWithTitle(TitleOf(MIDIGetDestination(i)));
}

MIDIEndpointRef FindMIDIPortByTitle(const std::optional<std::string>& title)
{
    if (!title)
        return 0;
    const MIDIListing listing;
    for (ItemCount i = 0; i < MIDIGetNumberOfDestinations(); ++i) {
        const MIDIEndpointRef endpoint = MIDIGetDestination(i);
        if (endpoint != 0 && TitleOf(endpoint) == *title)
            return endpoint;
    }
    return 0;
}

namespace {

// The destinations, or the sources, by index.
ItemCount CountOf(bool sources)
{
    return sources ? MIDIGetNumberOfSources() : MIDIGetNumberOfDestinations();
}

MIDIEndpointRef EndpointAt(bool sources, ItemCount i)
{
    return sources ? MIDIGetSource(i) : MIDIGetDestination(i);
}

}  // namespace

MIDIEndpointRef FindMIDIPortByTitleOrAddress(const std::string& port, bool sources)
{
    const MIDIListing listing;
    for (const bool byAddress : {false, true}) {
        for (ItemCount i = 0; i < CountOf(sources); ++i) {
            const MIDIEndpointRef endpoint = EndpointAt(sources, i);
            std::string address;
            MIDIObjectGetStringProperty(endpoint, kMIDIPropertyAddress, address);
            if ((byAddress ? address : TitleOf(endpoint)) == port)
                return endpoint;
        }
    }
    return 0;
}

std::vector<ListedPort> ListMIDIPorts(bool sources)
{
    const MIDIListing listing;
    std::vector<ListedPort> listed;
    for (ItemCount i = 0; i < CountOf(sources); ++i) {
        const MIDIEndpointRef endpoint = EndpointAt(sources, i);
        std::string address;
        MIDIObjectGetStringProperty(endpoint, kMIDIPropertyAddress, address);
        listed.push_back({TitleOf(endpoint), address});
    }
    return listed;
}

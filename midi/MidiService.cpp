#include "MidiService.h"

#include "MidiBackend.h"

#include <future>
#include <map>
#include <utility>

namespace {

// Endpoint references name a destination by its backend and address, so a
// reference keeps meaning the same destination while indices shift.
// References are never reused.
class Service
{
public:
    struct Listed
    {
        std::size_t backend;
        MidiDestination destination;
    };

    void Prepare()
    {
        if (!m_opened && !m_preparing.valid())
            m_preparing = std::async(std::launch::async, MakeSystemMidiBackends);
    }

    void UseBackends(std::vector<std::unique_ptr<MidiBackend>> backends)
    {
        if (m_preparing.valid())
            m_preparing.get();  // prepared in vain: closed here
        m_backends = std::move(backends);
        m_opened = true;
        m_refs.clear();
        m_keys.clear();
    }

    void ShutDown()
    {
        if (m_preparing.valid())
            m_backends = m_preparing.get();
        m_backends.clear();
        m_refs.clear();
        m_keys.clear();
    }

    std::vector<Listed> ListAll()
    {
        Open();
        std::vector<Listed> all;
        for (std::size_t b = 0; b < m_backends.size(); ++b)
            for (MidiDestination& destination : m_backends[b]->Destinations())
                all.push_back({b, std::move(destination)});
        return all;
    }

    MIDIEndpointRef RefFor(std::size_t backend, const std::string& address)
    {
        const auto [it, added] = m_refs.try_emplace({backend, address}, 0);
        if (added) {
            m_keys.push_back({backend, address});
            it->second = static_cast<MIDIEndpointRef>(m_keys.size());
        }
        return it->second;
    }

    // The backend and address of a reference, or nullptr when unknown.
    const std::pair<std::size_t, std::string>* KeyFor(MIDIEndpointRef ref) const
    {
        if (ref == 0 || ref > m_keys.size())
            return nullptr;
        return &m_keys[ref - 1];
    }

    MidiBackend* Backend(std::size_t index) const
    {
        return index < m_backends.size() ? m_backends[index].get() : nullptr;
    }

private:
    void Open()
    {
        if (!m_opened) {
            m_backends = m_preparing.valid() ? m_preparing.get() : MakeSystemMidiBackends();
            m_opened = true;
        }
    }

    bool m_opened = false;
    std::future<std::vector<std::unique_ptr<MidiBackend>>> m_preparing;
    std::vector<std::unique_ptr<MidiBackend>> m_backends;
    std::map<std::pair<std::size_t, std::string>, MIDIEndpointRef> m_refs;
    std::vector<std::pair<std::size_t, std::string>> m_keys;
};

Service& TheService()
{
    static Service service;
    return service;
}

}  // namespace

const char* MIDIStatusText(OSStatus status)
{
    switch (status) {
    case noErr:
        return "no error";
    case kMIDIUnknownEndpoint:
        return "the destination is no longer available";
    case kMIDIUnknownProperty:
        return "unknown property";
    case kMIDIMessageSendErr:
        return "the MIDI system could not take the message";
    case kMIDIServerGone:
        return "the MIDI server has gone away";
    default:
        return "MIDI error";
    }
}

ItemCount MIDIGetNumberOfDestinations()
{
    return TheService().ListAll().size();
}

MIDIEndpointRef MIDIGetDestination(ItemCount index)
{
    Service& service = TheService();
    const std::vector<Service::Listed> all = service.ListAll();
    if (index >= all.size())
        return 0;
    return service.RefFor(all[index].backend, all[index].destination.address);
}

OSStatus MIDIObjectGetStringProperty(MIDIEndpointRef endpoint, MIDIPropertyKey key, std::string& str)
{
    str.clear();
    Service& service = TheService();
    const auto* where = service.KeyFor(endpoint);
    if (where == nullptr)
        return kMIDIUnknownEndpoint;
    if (key != kMIDIPropertyName && key != kMIDIPropertyModel)
        return kMIDIUnknownProperty;
    for (const Service::Listed& listed : service.ListAll()) {
        if (listed.backend == where->first && listed.destination.address == where->second) {
            str = key == kMIDIPropertyName ? listed.destination.name : listed.destination.model;
            return noErr;
        }
    }
    return kMIDIUnknownEndpoint;
}

OSStatus MIDISendSysex(MIDISysexSendRequest* request)
{
    if (request == nullptr)
        return kMIDIMessageSendErr;
    Service& service = TheService();
    const auto* where = service.KeyFor(request->destination);
    MidiBackend* backend = where ? service.Backend(where->first) : nullptr;
    const OSStatus status =
        backend ? backend->StartSysex(where->second, request) : kMIDIUnknownEndpoint;
    // A refused send is completed here, so its owner can free it like any other.
    if (status != noErr)
        CompleteSysexRequest(request, false);
    return status;
}

void MIDIServicePrepare()
{
    TheService().Prepare();
}

void MIDIServiceUseBackends(std::vector<std::unique_ptr<MidiBackend>> backends)
{
    TheService().UseBackends(std::move(backends));
}

void MIDIServiceShutDown()
{
    TheService().ShutDown();
}

#include "MemoryBackend.h"

#include <algorithm>

MemoryBackend::~MemoryBackend()
{
    CompleteAll(false);
}

std::string MemoryBackend::AddDestination(const std::string& name, const std::string& model)
{
    std::string address = "mem:" + std::to_string(m_nextAddress++);
    m_destinations.push_back({address, name, model});
    return address;
}

void MemoryBackend::RemoveDestination(const std::string& address)
{
    m_destinations.erase(std::remove_if(m_destinations.begin(), m_destinations.end(),
                                        [&](const MidiDestination& d) { return d.address == address; }),
                         m_destinations.end());
}

void MemoryBackend::Rename(const std::string& address, const std::string& name, const std::string& model)
{
    for (MidiDestination& d : m_destinations) {
        if (d.address == address) {
            d.name = name;
            d.model = model;
        }
    }
}

std::size_t MemoryBackend::OutstandingSends() const
{
    return static_cast<std::size_t>(
        std::count_if(m_sends.begin(), m_sends.end(), [](const Send& s) { return s.request != nullptr; }));
}

void MemoryBackend::Complete(std::size_t sendIndex, bool delivered)
{
    MIDISysexSendRequest* request = m_sends.at(sendIndex).request;
    if (request == nullptr)
        return;
    m_sends[sendIndex].request = nullptr;
    Finished(request, delivered, delivered ? nullptr : "dropped by the in-memory backend");
}

void MemoryBackend::CompleteAll(bool delivered)
{
    for (std::size_t i = 0; i < m_sends.size(); ++i)
        Complete(i, delivered);
}

OSStatus MemoryBackend::StartSysex(const std::string& address, MIDISysexSendRequest* request, std::string& reason)
{
    if (m_refusal != noErr) {
        reason = "refused by the in-memory backend";
        return m_refusal;
    }
    const bool present = std::any_of(m_destinations.begin(), m_destinations.end(),
                                     [&](const MidiDestination& d) { return d.address == address; });
    if (!present) {
        reason = "no such destination in the in-memory backend";
        return kMIDIUnknownEndpoint;
    }
    m_sends.push_back({address, std::vector<std::uint8_t>(request->data, request->data + request->bytesToSend), request});
    return noErr;
}

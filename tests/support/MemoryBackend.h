// An in-memory MIDI backend for tests: destinations are set up by the test,
// sends are recorded, and completions happen when the test says. Its calls
// run on its lane's thread; tests call its setters only while no call runs.
#pragma once

#include "MidiBackend.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class MemoryBackend : public MidiBackend
{
public:
    struct Sent
    {
        std::string address;
        std::vector<std::uint8_t> bytes;  // copied when the send was taken
        MIDISysexSendRequest* request;    // null once completed
    };

    ~MemoryBackend() override { CompleteAll(false); }

    // Adds a destination and returns its address.
    std::string AddDestination(const std::string& name, const std::string& model)
    {
        m_destinations.push_back({"mem:" + std::to_string(m_destinations.size() + m_removed + 1), name, model});
        return m_destinations.back().address;
    }
    // A source at `address`, which the test says (a JACK port's, say).
    void AddSource(const std::string& name, const std::string& model, const std::string& address)
    {
        m_sources.push_back({address, name, model});
    }
    void RemoveDestination(const std::string& address)
    {
        m_destinations.erase(Find(address));
        ++m_removed;
    }
    void Rename(const std::string& address, const std::string& name) { Find(address)->name = name; }
    // Every later send is refused with `status`; noErr accepts them again.
    void RefuseSendsWith(OSStatus status) { m_refusal = status; }

    const std::vector<Sent>& Sends() const { return m_sends; }
    // How many sends were taken: another thread may wait for it.
    std::size_t Taken() const { return m_taken.load(); }
    void Complete(std::size_t index, bool delivered = true)
    {
        if (MIDISysexSendRequest* request = std::exchange(m_sends.at(index).request, nullptr))
            MidiBackend::Complete(request, delivered, delivered ? nullptr : "dropped by the in-memory backend");
    }
    void CompleteAll(bool delivered = true)
    {
        for (std::size_t i = 0; i < m_sends.size(); ++i)
            Complete(i, delivered);
    }

    std::vector<MidiPort> Ports(bool sources) override { return sources ? m_sources : m_destinations; }
    OSStatus Receive(const std::string&, MIDIReadProc, std::string& reason) override
    {
        reason = "the in-memory backend has no sources";
        return kMIDIUnknownEndpoint;
    }
    OSStatus Send(const std::string& address, MIDISysexSendRequest* request, std::string& reason) override
    {
        if (m_refusal != noErr || Find(address) == m_destinations.end()) {
            reason = m_refusal != noErr ? "refused by the in-memory backend" : "no such destination";
            return m_refusal != noErr ? m_refusal : kMIDIUnknownEndpoint;
        }
        m_sends.push_back({address, {request->data, request->data + request->bytesToSend}, request});
        m_taken.store(m_sends.size());
        return noErr;
    }

private:
    std::vector<MidiPort>::iterator Find(const std::string& address)
    {
        return std::find_if(m_destinations.begin(), m_destinations.end(),
                            [&](const MidiPort& d) { return d.address == address; });
    }

    std::vector<MidiPort> m_destinations;
    std::vector<MidiPort> m_sources;
    std::vector<Sent> m_sends;
    std::atomic<std::size_t> m_taken{0};
    std::size_t m_removed = 0;
    OSStatus m_refusal = noErr;
};

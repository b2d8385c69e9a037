// An in-memory MIDI backend for tests: destinations are set up by the test,
// sends are recorded, and completions fire when the test says.
#pragma once

#include "MidiBackend.h"

#include <cstdint>
#include <string>
#include <vector>

class MemoryBackend : public MidiBackend
{
public:
    struct Send
    {
        std::string address;
        std::vector<std::uint8_t> bytes;  // copied when the send was started
        MIDISysexSendRequest* request;    // null once completed
    };

    ~MemoryBackend() override;  // completes outstanding sends as undelivered

    // Adds a destination and returns its address.
    std::string AddDestination(const std::string& name, const std::string& model);
    void RemoveDestination(const std::string& address);
    void Rename(const std::string& address, const std::string& name, const std::string& model);
    // Every later send is refused with `status`; noErr accepts them again.
    void RefuseSendsWith(OSStatus status) { m_refusal = status; }

    const std::vector<Send>& Sends() const { return m_sends; }
    std::size_t OutstandingSends() const;
    void Complete(std::size_t sendIndex, bool delivered = true);
    void CompleteAll(bool delivered = true);

    std::vector<MidiDestination> Destinations() override { return m_destinations; }
    OSStatus StartSysex(const std::string& address, MIDISysexSendRequest* request, std::string& reason) override;

private:
    std::vector<MidiDestination> m_destinations;
    std::vector<Send> m_sends;
    OSStatus m_refusal = noErr;
    int m_nextAddress = 1;
};

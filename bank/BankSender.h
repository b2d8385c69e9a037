// Sends a bank of wave dump messages to one destination, paced for real
// devices. Each message after the first starts once the previous one has
// completed, at the time that one was placed at plus its wire time at
// MIDI's 31,250 baud (10 bits a byte: 96 ms for 300 bytes) plus the gap, so
// a fast transport never overruns a slow cable further down, and the device
// gets the gap to store each wave. It is handed over a little before that
// time, with the time, and the backend places it there.
//
// The run moves on from the MIDI service's pump (MidiService.h): a window
// drives it from its event loop, qwdump from MIDIServiceWaitFor.
#pragma once

#include "SendProgress.h"
#include "WaveDumpBank.h"

#include "MidiTypes.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

class SysexOutcome;

class BankSender
{
public:
    // Far longer than any destination needs for 300 bytes.
    static constexpr std::chrono::seconds kSendTimeout{5};

    struct Ending
    {
        enum Kind {
            kSent,       // every message went out
            kCancelled,  // the message in flight ended whole, and no other started
            kFailed,     // message `sent` was refused or not delivered, as `reason` says
            kTimedOut,   // message `sent` did not complete within kSendTimeout
        } kind;
        std::size_t sent;  // the messages that went out before it ended
        std::string reason;
        bool portGone;  // kFailed: the destination has gone away since
    };
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void Going(const SendProgress& progress) = 0;
        virtual void Sent(const BankMessage& message) = 0;
        virtual void Ended(const Ending& ending) = 0;
        // What MIDISendSysex said of the message going out.
        virtual void HandedOver(OSStatus /*status*/, const std::string& /*refusal*/) {}
        // Learns how the message's send ends, even after the run has ended.
        virtual std::shared_ptr<SysexOutcome> OutcomeOf(const BankMessage& message);
    };

    // Starts sending `bank` in order to `destination`, which was found as
    // `port` (a title or an address: a failed send looks for it again).
    // `listener` hears of each message, from the pump, until the end.
    BankSender(std::vector<BankMessage> bank, MIDIEndpointRef destination, std::string port,
               std::chrono::milliseconds gap, Listener& listener);
    // Stops listening; a message in flight still ends whole.
    ~BankSender();
    BankSender(const BankSender&) = delete;
    BankSender& operator=(const BankSender&) = delete;

    // No message starts after this; the one in flight ends whole.
    void Cancel();
    bool Finished() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

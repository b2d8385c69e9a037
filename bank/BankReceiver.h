// Collects the wave dump messages a MIDI source sends (a synth's dump of its
// waves), in order of arrival, until enough have come, a quiet spell, the
// source going away, or Stop. What did not arrive whole is counted and
// said. The run moves on from the MIDI service's pump (MidiService.h): a
// window drives it from its event loop, qwdump from MIDIServiceWaitFor.
#pragma once

#include "SyxFile.h"

#include "MidiTypes.h"

#include <memory>
#include <string>
#include <vector>

class BankReceiver
{
public:
    struct Options
    {
        int count = 0;            // stop after this many wave dumps; 0: no such limit
        double idleSeconds = 3;   // stop this long after the last message
        double waitSeconds = 60;  // wait this long for the first one
        bool keepOthers = false;  // keep other System Exclusive messages too
    };
    // One thing that arrived, in order.
    struct Arrival
    {
        enum Kind {
            kWave,       // a wave dump, kept
            kOther,      // another System Exclusive message, kept with keepOthers
            kSkipped,    // another System Exclusive message, not kept
            kTooMany,    // one that would take what is kept past kMaxSyxFileBytes: dropped
            kCutShort,   // a message dropped, as `why` says
            kInputLost,  // input lost, as `why` says
        } kind;
        std::size_t size;  // of the message
        int waveNumber;    // kWave
        std::string why;
        // kWave: an earlier copy of the wave was kept, and this one replaces
        // it (a synth that dumps twice): the backup holds each wave once.
        bool replacedEarlier = false;
    };
    struct Ending
    {
        bool listened;  // false: the source could not be listened to, as `why` says
        bool gone;      // the source went away
        std::string why;
    };
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void Arrived(const Arrival& arrival) = 0;
        virtual void Ended(const Ending& ending) = 0;
    };

    // Starts listening to `source`, which was found as `port` (a title or
    // an address: it is looked for again each second, since it may go).
    BankReceiver(MIDIEndpointRef source, std::string port, Options options, Listener& listener);
    // Stops listening to the listener; what is under way ends as it would.
    ~BankReceiver();
    BankReceiver(const BankReceiver&) = delete;
    BankReceiver& operator=(const BankReceiver&) = delete;

    // Stops listening: what the system still holds is taken, then it ends.
    void Stop();
    bool Finished() const;

    // What was kept, in order of arrival (a wave that came again at its
    // later place), and how many of it are wave dumps.
    const std::vector<SysexMessage>& Messages() const;
    int Waves() const;
    // What did not arrive whole, a line each: losses, messages cut short,
    // fewer wave dumps than asked for. None when everything did.
    std::vector<std::string> Missing() const;
    // How many wave dumps (or messages lost where input was) did not
    // arrive whole, and the numbers of those whose header came, each once.
    int WaveDumpsLost() const;
    const std::vector<int>& WavesLost() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

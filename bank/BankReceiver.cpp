#include "BankReceiver.h"

#include "DestinationDirectory.h"
#include "SysexStream.h"
#include "WaveDump.h"

#include <algorithm>
#include <deque>
#include <mutex>

namespace {

using Clock = LaneClock;

// How often the source is looked for while nothing arrives: it may go away.
constexpr std::chrono::seconds kLookForSource{1};

Clock::time_point SecondsFromNow(double seconds)
{
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// "1 wave dump", "2 wave dumps".
std::string Count(int count, const std::string& noun)
{
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// Whole messages and notices from the source's lane, for the main thread,
// which the lane wakes when its call returns.
class Inbox : public SysexStream::Listener
{
public:
    // A whole message; a message dropped, or input lost, as `why` says.
    struct Item
    {
        enum Kind { kMessage, kDropped, kLost } kind = kMessage;
        std::vector<std::uint8_t> message;
        std::string why;
        bool waveDump = false;  // a dropped message began as one
        int waveNumber = 0;     // the one its header names; 0: none
    };

    void Message(const std::vector<std::uint8_t>& message) override { Put({Item::kMessage, message, "", false}); }
    void Dropped(const std::vector<std::uint8_t>& begun, const std::string& why) override
    {
        // A tail whose start was missed is taken for a wave dump's when it
        // is no longer than one: that is what a synth sends here.
        const bool waveDump = begun.empty() || BeganAsWaveDump(begun);
        Put({Item::kDropped, {}, why, waveDump, WaveNamed(begun)});
    }
    static bool BeganAsWaveDump(const std::vector<std::uint8_t>& begun)
    {
        return begun.size() >= sizeof WaveDump::kHeader &&
               std::equal(std::begin(WaveDump::kHeader), std::end(WaveDump::kHeader), begun.begin());
    }
    // The wave number a begun wave dump's header names; 0 when none.
    static int WaveNamed(const std::vector<std::uint8_t>& begun)
    {
        if (!BeganAsWaveDump(begun) || begun.size() <= WaveDump::kIndexOffset)
            return 0;
        const int number = begun[WaveDump::kIndexOffset] + 1;
        return number >= WaveDump::kFirstWaveNumber && number <= WaveDump::kLastWaveNumber ? number : 0;
    }
    void Lost(const std::string& why) { Put({Item::kLost, {}, why, false}); }
    // The next item; false when there is none.
    bool Take(Item& item)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_items.empty())
            return false;
        item = std::move(m_items.front());
        m_items.pop_front();
        return true;
    }

private:
    void Put(Item item)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_items.push_back(std::move(item));
    }

    std::mutex m_mutex;
    std::deque<Item> m_items;
};

// The lane feeds the stream; both live as long as the lane may call them.
struct Listening
{
    SysexStream stream;
    Inbox inbox;
};

}  // namespace

struct BankReceiver::State
{
    MIDIEndpointRef source;
    std::string port;
    Options options;
    Listener* listener;
    std::shared_ptr<Listening> listening = std::make_shared<Listening>();
    enum Phase { kConnecting, kCollecting, kStopping, kEnded } phase = kConnecting;
    bool stopAsked = false;
    bool gone = false;
    bool looking = false;  // for the source
    Clock::time_point quietUntil;
    Clock::time_point lookAt;
    std::vector<SysexMessage> messages;
    std::size_t bytesKept = 0;
    int waves = 0;
    int losses = 0;  // input lost, as the MIDI system said, or not kept
    int wavesCutShort = 0;
    int othersCutShort = 0;
    std::vector<int> wavesLost;  // the numbers of those cut short or damaged, where the header told
};

namespace {

using State = BankReceiver::State;
using Arrival = BankReceiver::Arrival;

bool Enough(const State& state)
{
    return state.options.count > 0 && state.waves >= state.options.count;
}

// The kept copy of `wave`, removed; false when there was none.
bool DropEarlierCopy(State& state, int wave)
{
    const auto earlier =
        std::find_if(state.messages.begin(), state.messages.end(), [wave](const SysexMessage& message) {
            // Kept with this header and size, it passed the check.
            return message.size() == WaveDump::kBytes && Inbox::BeganAsWaveDump(message) &&
                   WaveDump::WaveNumberOf(message.data()) == wave;
        });
    if (earlier == state.messages.end())
        return false;
    state.bytesKept -= earlier->size();
    state.messages.erase(earlier);
    return true;
}

// A wave that came whole after a copy of it was cut short or damaged is
// in the capture, the later copy kept: the dump still counts as lost, but
// the wave is no longer named among the waves lost.
void UnnameLostWave(State& state, int wave)
{
    const auto named = std::find(state.wavesLost.begin(), state.wavesLost.end(), wave);
    if (named != state.wavesLost.end())
        state.wavesLost.erase(named);
}

// One message, kept or skipped; or a drop or a loss, counted.
void Take(State& state, Inbox::Item& item)
{
    std::vector<std::uint8_t>& message = item.message;
    std::size_t offset = 0;
    const bool wave = item.kind == Inbox::Item::kMessage && message.size() == WaveDump::kBytes &&
                      WaveDump::Check(message.data(), message.size(), offset).empty();
    const bool kept = wave || (state.options.keepOthers && item.kind == Inbox::Item::kMessage);
    const bool room = state.bytesKept + message.size() <= kMaxSyxFileBytes;
    Arrival arrival{Arrival::kSkipped, message.size(), 0, item.why};
    // A wave dump damaged on the way (a byte lost on the cable) is lost
    // like one cut short, not skipped like another maker's message.
    if (item.kind == Inbox::Item::kMessage && !wave && Inbox::BeganAsWaveDump(message)) {
        std::string what = WaveDump::Check(message.data(), message.size(), offset);
        what = what.empty() ? "" : " (byte " + std::to_string(offset) + ": " + what + ")";
        item = {Inbox::Item::kDropped,
                {},
                "a damaged " + std::to_string(message.size()) + "-byte wave dump" + what,
                true,
                Inbox::WaveNamed(message)};
        arrival.why = item.why;
    }
    if (item.kind == Inbox::Item::kLost) {
        arrival.kind = Arrival::kInputLost;
        ++state.losses;
    } else if (item.kind == Inbox::Item::kDropped) {
        arrival.kind = Arrival::kCutShort;
        ++(item.waveDump ? state.wavesCutShort : state.othersCutShort);
        // Each wave named once: a flood of one damaged wave is one name.
        if (item.waveNumber != 0 &&
            std::find(state.wavesLost.begin(), state.wavesLost.end(), item.waveNumber) == state.wavesLost.end())
            state.wavesLost.push_back(item.waveNumber);
    } else if (kept && !room) {
        arrival.kind = Arrival::kTooMany;
        ++state.losses;
    } else if (kept) {
        arrival.kind = wave ? Arrival::kWave : Arrival::kOther;
        arrival.waveNumber = wave ? WaveDump::WaveNumberOf(message.data()) : 0;
        if (wave) {
            arrival.replacedEarlier = DropEarlierCopy(state, arrival.waveNumber);
            UnnameLostWave(state, arrival.waveNumber);
        }
        state.waves += wave && !arrival.replacedEarlier ? 1 : 0;
        state.bytesKept += message.size();
        state.messages.push_back(std::move(message));
    }
    if (state.listener != nullptr)
        state.listener->Arrived(arrival);
}

// What the inbox holds, up to the count asked for; true when anything.
bool TakeWaiting(State& state)
{
    bool took = false;
    Inbox::Item item;
    while (!Enough(state) && state.listening->inbox.Take(item)) {
        Take(state, item);
        took = true;
    }
    return took;
}

void End(State& state, bool listened, std::string why = "")
{
    state.phase = State::kEnded;
    if (state.listener != nullptr)
        state.listener->Ended({listened, state.gone, std::move(why)});
}

// The system hands on what it holds before it stops listening: a run
// stopped (Ctrl-Z) past its quiet spell finds the rest waiting there.
void StopListening(const std::shared_ptr<State>& state)
{
    state->phase = State::kStopping;
    MIDIConnectSourceThen(state->source, {}, [state](OSStatus status, const std::string& why) {
        // A server that stops answering (frozen) may hold the rest of the dump.
        if (status != noErr)
            state->listening->inbox.Lost("the MIDI system did not answer as listening ended, so what it held may be "
                                         "lost: " +
                                         why);
        state->listening->stream.End(state->listening->inbox);
        TakeWaiting(*state);
        End(*state, true);
    });
}

void Collect(const std::shared_ptr<State>& state)
{
    state->phase = State::kCollecting;
    state->quietUntil = SecondsFromNow(state->options.waitSeconds);
    state->lookAt = Clock::now() + kLookForSource;
    MIDIServiceWatch([state]() -> std::optional<Clock::time_point> {
        if (state->phase != State::kCollecting)
            return std::nullopt;
        if (TakeWaiting(*state))
            state->quietUntil = SecondsFromNow(state->options.idleSeconds);
        const auto now = Clock::now();
        if (state->stopAsked || Enough(*state) || now >= state->quietUntil) {
            StopListening(state);
            return std::nullopt;
        }
        if (now >= state->lookAt && !state->looking) {
            state->looking = true;
            FindMIDIPortByTitleOrAddressThen(state->port, true, [state](MIDIEndpointRef found) {
                state->looking = false;
                state->lookAt = Clock::now() + kLookForSource;
                state->gone = found != state->source;
                if (state->gone && state->phase == State::kCollecting)
                    StopListening(state);
            });
        }
        return state->looking ? state->quietUntil : std::min(state->quietUntil, state->lookAt);
    });
}

}  // namespace

BankReceiver::BankReceiver(MIDIEndpointRef source, std::string port, Options options, Listener& listener)
    : m_state(std::make_shared<State>())
{
    m_state->source = source;
    m_state->port = std::move(port);
    m_state->options = options;
    m_state->listener = &listener;
    const std::shared_ptr<Listening> listening = m_state->listening;
    MIDIReadProc read{[listening](const std::uint8_t* bytes, std::size_t size) {
                          listening->stream.Feed(bytes, size, listening->inbox);
                      },
                      [listening](const std::string& why) {
                          listening->inbox.Lost(why);
                          listening->stream.Lost(listening->inbox);
                      }};
    MIDIConnectSourceThen(source, std::move(read), [state = m_state](OSStatus status, const std::string& why) {
        if (status != noErr)
            End(*state, false, why);
        else if (state->stopAsked)
            StopListening(state);
        else
            Collect(state);
    });
}

BankReceiver::~BankReceiver()
{
    m_state->listener = nullptr;
    Stop();
}

void BankReceiver::Stop()
{
    m_state->stopAsked = true;
    if (m_state->phase == State::kCollecting)
        StopListening(m_state);
}

bool BankReceiver::Finished() const
{
    return m_state->phase == State::kEnded;
}

const std::vector<SysexMessage>& BankReceiver::Messages() const
{
    return m_state->messages;
}

int BankReceiver::Waves() const
{
    return m_state->waves;
}

int BankReceiver::WaveDumpsLost() const
{
    return m_state->wavesCutShort + m_state->losses;
}

const std::vector<int>& BankReceiver::WavesLost() const
{
    return m_state->wavesLost;
}

std::vector<std::string> BankReceiver::Missing() const
{
    const State& state = *m_state;
    std::vector<std::string> lines;
    std::string cut;
    if (state.wavesCutShort > 0)
        cut = Count(state.wavesCutShort, "wave dump");
    if (state.othersCutShort > 0)
        cut += (cut.empty() ? "" : " and ") + Count(state.othersCutShort, "System Exclusive message");
    if (state.losses > 0 || !cut.empty())
        lines.push_back("some messages were lost" + (cut.empty() ? "" : " (" + cut + " cut short)"));
    if (!state.wavesLost.empty()) {
        std::string named = state.wavesLost.size() == 1 ? "lost wave " : "lost waves ";
        for (std::size_t i = 0; i < state.wavesLost.size(); ++i)
            named += (i == 0 ? "" : ", ") + std::to_string(state.wavesLost[i]);
        lines.push_back(named);
    }
    if (Enough(state) || state.options.count == 0)
        return lines;
    if (!state.messages.empty())
        lines.push_back("received " + std::to_string(state.waves) + " of " + std::to_string(state.options.count) +
                        " wave dumps");
    return lines;
}

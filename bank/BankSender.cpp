#include "BankSender.h"

#include "DestinationDirectory.h"
#include "DumpSender.h"
#include "SystemLog.h"
#include "WaveDump.h"

namespace {

using Clock = LaneClock;

// 10 bits a byte at 31,250 baud.
std::chrono::microseconds WireTime(std::size_t bytes)
{
    return std::chrono::microseconds(bytes * 320);
}

// How long before its start a message is handed over, so that it is with
// the backend, which places it at its start, in time: more than a lane's
// hop and a JACK period of 2,048 frames.
constexpr std::chrono::milliseconds kHandOverLead{50};

}  // namespace

struct BankSender::State
{
    std::vector<BankMessage> bank;
    MIDIEndpointRef destination;
    std::string port;
    std::chrono::milliseconds gap;
    Listener* listener;
    enum Phase { kPausing, kHandingOver, kInFlight, kLookingForPort, kEnded } phase = kPausing;
    std::size_t next = 0;  // the message going out, or the next one
    Clock::time_point nextStart = Clock::now();
    Clock::time_point handedOver;
    std::shared_ptr<SysexOutcome> outcome;
    bool cancelled = false;
};

namespace {

using State = BankSender::State;
using Ending = BankSender::Ending;

void End(State& state, Ending::Kind kind, std::string reason = "", bool portGone = false)
{
    state.phase = State::kEnded;
    if (state.listener != nullptr)
        state.listener->Ended({kind, state.next, std::move(reason), portGone});
}

void Advance(const std::shared_ptr<State>& state);

// Waits from the pump until `due` says the run can move on, or `until`.
void WaitFor(const std::shared_ptr<State>& state, State::Phase phase, Clock::time_point until,
             bool (*due)(const State&))
{
    MIDIServiceWatch([state, phase, until, due]() -> std::optional<Clock::time_point> {
        // Moved on meanwhile (cancelled), or no one listens any more: the
        // message in flight ends whole without a watch, and no other starts.
        if (state->phase != phase || state->listener == nullptr)
            return std::nullopt;
        if (!due(*state) && Clock::now() < until)
            return until;
        Advance(state);
        return std::nullopt;
    });
}

// A destination that has gone away is not a failed send: it is looked
// for again before the run ends.
void Fail(const std::shared_ptr<State>& state, std::string reason)
{
    state->phase = State::kLookingForPort;
    FindMIDIPortByTitleOrAddressThen(state->port, false, [state, reason](MIDIEndpointRef found) {
        End(*state, Ending::kFailed, reason, found == 0);
    });
}

void StartNext(const std::shared_ptr<State>& state)
{
    const BankMessage& message = state->bank[state->next];
    if (state->listener != nullptr) {
        const auto perMessage = WireTime(WaveDump::kBytes) + state->gap;
        state->listener->Going({state->next, state->bank.size(), message.waveNumber, message.file,
                                perMessage * static_cast<long>(state->bank.size() - state->next)});
    }
    state->phase = State::kHandingOver;
    state->handedOver = Clock::now();
    state->outcome = state->listener != nullptr ? state->listener->OutcomeOf(message) : nullptr;
    if (state->outcome == nullptr)
        state->outcome = std::make_shared<SysexOutcome>();
    // The first goes at once, each later one at its start.
    const Clock::time_point startAt = state->next == 0 ? Clock::time_point{} : state->nextStart;
    StartSysexSendThen(
        state->destination, message.bytes.data(), state->outcome,
        [state](OSStatus status, const std::string& refusal) {
            LogLine("MIDISendSysex = %d", static_cast<int>(status));
            if (state->listener != nullptr)
                state->listener->HandedOver(status, refusal);
            if (status != noErr) {
                Fail(state, refusal);
                return;
            }
            state->phase = State::kInFlight;
            Advance(state);
        },
        startAt);
}

void Advance(const std::shared_ptr<State>& state)
{
    for (;;) {
        switch (state->phase) {
        case State::kPausing:
            if (state->cancelled || state->next == state->bank.size()) {
                End(*state, state->next == state->bank.size() ? Ending::kSent : Ending::kCancelled);
                return;
            }
            if (Clock::now() < state->nextStart - kHandOverLead) {
                WaitFor(state, State::kPausing, state->nextStart - kHandOverLead,
                        [](const State& s) { return s.cancelled; });
                return;
            }
            StartNext(state);
            return;
        case State::kInFlight: {
            const BankMessage& message = state->bank[state->next];
            if (!state->outcome->Done()) {
                if (Clock::now() >= state->handedOver + BankSender::kSendTimeout) {
                    End(*state, Ending::kTimedOut);
                    return;
                }
                WaitFor(state, State::kInFlight, state->handedOver + BankSender::kSendTimeout,
                        [](const State& s) { return s.outcome->Done(); });
                return;
            }
            if (!state->outcome->Delivered()) {
                Fail(state, state->outcome->FailureReason());
                return;
            }
            // The cable is busy for the wire time from where the backend
            // placed the message: a message held up on its way (a
            // connection being made) was placed late, and can't bring the
            // next one closer than wire time + gap.
            state->nextStart = state->outcome->PlacedAt() + WireTime(message.bytes.size()) + state->gap;
            ++state->next;
            state->phase = State::kPausing;
            if (state->listener != nullptr)
                state->listener->Sent(message);
            break;
        }
        default:
            return;  // the pump brings the answer
        }
    }
}

}  // namespace

std::shared_ptr<SysexOutcome> BankSender::Listener::OutcomeOf(const BankMessage& /*message*/)
{
    return std::make_shared<SysexOutcome>();
}

BankSender::BankSender(std::vector<BankMessage> bank, MIDIEndpointRef destination, std::string port,
                       std::chrono::milliseconds gap, Listener& listener)
    : m_state(std::make_shared<State>())
{
    m_state->bank = std::move(bank);
    m_state->destination = destination;
    m_state->port = std::move(port);
    m_state->gap = gap;
    m_state->listener = &listener;
    // The first message starts from the pump, like every later one.
    MIDIServiceWatch([state = m_state]() -> std::optional<Clock::time_point> {
        Advance(state);
        return std::nullopt;
    });
}

BankSender::~BankSender()
{
    m_state->listener = nullptr;
    m_state->cancelled = true;
}

void BankSender::Cancel()
{
    m_state->cancelled = true;
    if (m_state->phase == State::kPausing)
        Advance(m_state);
}

bool BankSender::Finished() const
{
    return m_state->phase == State::kEnded;
}

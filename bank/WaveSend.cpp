#include "WaveSend.h"

#include "Alert.h"
#include "BankSender.h"
#include "DestinationDirectory.h"
#include "Engine.h"
#include "SystemLog.h"

#include <cstdlib>
#include <utility>

namespace {

// One Send's run, alive until its message is handed over: the hand-over
// answers `done`, the completion `outcome`.
class WaveSendRun : public BankSender::Listener
{
public:
    WaveSendRun(std::function<void(const WaveDumpSend&)> done, std::shared_ptr<SysexOutcome> outcome)
        : m_done(std::move(done)), m_outcome(std::move(outcome))
    {
    }

    void Start(BankMessage message, MIDIEndpointRef destination, std::string port)
    {
        // A single wave waits for nothing but the sends asked for before it.
        m_sender = std::make_unique<BankSender>(std::vector<BankMessage>{std::move(message)}, destination,
                                                std::move(port), std::chrono::milliseconds(0), *this);
    }

    void NotFound()
    {
        if (m_done)
            m_done({false, kMIDIUnknownEndpoint});
        delete this;
    }

private:
    void Going(const SendProgress&) override {}
    void Sent(const BankMessage&) override {}
    void HandedOver(OSStatus status, const std::string& refusal) override
    {
        if (status != noErr)
            LogLine("MIDI send refused: %s", refusal.c_str());
        if (m_done)
            m_done({true, status});
        // Nothing follows a single wave, so nothing waits on its completion:
        // only `outcome` hears of it. Let go once the sender's call returns.
        MIDIServiceWatch([self = this]() -> std::optional<LaneClock::time_point> {
            delete self;
            return std::nullopt;
        });
    }
    std::shared_ptr<SysexOutcome> OutcomeOf(const BankMessage&) override
    {
        return m_outcome ? m_outcome : std::make_shared<SysexOutcome>();
    }
    void Ended(const BankSender::Ending&) override {}

    std::function<void(const WaveDumpSend&)> m_done;
    std::shared_ptr<SysexOutcome> m_outcome;
    std::unique_ptr<BankSender> m_sender;
};

}  // namespace

void SendWaveDump(const std::optional<std::string>& portTitle, const std::string& waveTitle,
                  std::function<void(const WaveDumpSend&)> done, std::shared_ptr<SysexOutcome> outcome)
{
    const auto index = static_cast<std::int32_t>(std::strtol(waveTitle.c_str(), nullptr, 10) - 1);
    std::uint32_t length = 0;
    const std::uint8_t* packed = s_Engine.PackWavToSysex(index, length);
    BankMessage message{SysexMessage(packed, packed + length), "", index + 1};
    auto* run = new WaveSendRun(std::move(done), std::move(outcome));
    FindMIDIPortByTitleThen(portTitle, [run, message = std::move(message),
                                        port = portTitle.value_or(std::string())](MIDIEndpointRef destination) mutable {
        if (destination == 0) {
            RunAlertPanel(kPortGoneAlert);
            run->NotFound();
            return;
        }
        run->Start(std::move(message), destination, std::move(port));
    });
}

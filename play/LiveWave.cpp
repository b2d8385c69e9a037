#include "LiveWave.h"

#include "BandLimitedTable.h"
#include "Instrument.h"
#include "Oscillator.h"

#include <algorithm>
#include <mutex>

namespace {

struct Attached
{
    Oscillator* oscillator = nullptr;
    Instrument* instrument = nullptr;
    double frequency = 0;
    double sampleRate = 0;
    double gain = 1;
};

std::mutex g_mutex;
Attached g_attached;

}  // namespace

void AttachLiveWave(Oscillator& oscillator, double frequency, double sampleRate, double gain)
{
    const std::lock_guard<std::mutex> lock(g_mutex);
    g_attached = {&oscillator, nullptr, frequency, sampleRate, gain};
}

void AttachLiveWave(Instrument& instrument, double gain)
{
    const std::lock_guard<std::mutex> lock(g_mutex);
    g_attached = {nullptr, &instrument, 0, 0, gain};
}

void DetachLiveWave(const void* player)
{
    const std::lock_guard<std::mutex> lock(g_mutex);
    if (g_attached.oscillator == player || g_attached.instrument == player)
        g_attached = Attached();
}

bool ChangeLiveWave(const std::int16_t (&wave)[128])
{
    const std::lock_guard<std::mutex> lock(g_mutex);
    if (g_attached.instrument != nullptr) {
        std::array<std::int16_t, 128> samples;
        std::copy(std::begin(wave), std::end(wave), samples.begin());
        g_attached.instrument->ReplaceTables(std::make_unique<KeyTables>(MakeKeyTables({samples}, g_attached.gain)));
        return true;
    }
    if (g_attached.oscillator == nullptr)
        return false;
    BandLimitedTable table = MakeBandLimitedTable(wave, g_attached.frequency, g_attached.sampleRate);
    LimitToFullScale(table, g_attached.gain);
    g_attached.oscillator->ReplaceTable(std::move(table.samples));
    return true;
}

#include "LiveWave.h"

#include "BandLimitedTable.h"
#include "Oscillator.h"

#include <mutex>

namespace {

struct Attached
{
    Oscillator* oscillator = nullptr;
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
    g_attached = {&oscillator, frequency, sampleRate, gain};
}

void DetachLiveWave(const Oscillator& oscillator)
{
    const std::lock_guard<std::mutex> lock(g_mutex);
    if (g_attached.oscillator == &oscillator)
        g_attached = Attached();
}

bool ChangeLiveWave(const std::int16_t (&wave)[128])
{
    const std::lock_guard<std::mutex> lock(g_mutex);
    if (g_attached.oscillator == nullptr)
        return false;
    BandLimitedTable table = MakeBandLimitedTable(wave, g_attached.frequency, g_attached.sampleRate);
    LimitToFullScale(table, g_attached.gain);
    g_attached.oscillator->ReplaceTable(std::move(table.samples));
    return true;
}

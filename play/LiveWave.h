// The wave a preview plays, changed while it plays: the window's Play hears
// each stroke. The playing oscillator is attached here once it is built; a
// change builds its band-limited table on the caller's thread, never the
// audio thread's, and hands it over for the next period.
#pragma once

#include <cstdint>

class Oscillator;

void AttachLiveWave(Oscillator& oscillator, double frequency, double sampleRate, double gain);
// Called by the oscillator as it goes; waits for a change under way.
void DetachLiveWave(const Oscillator& oscillator);
// False when nothing plays.
bool ChangeLiveWave(const std::int16_t (&wave)[128]);

// The wave a preview plays, changed while it plays: the window's Play hears
// each stroke. The playing oscillator or instrument is attached here once it
// is built; a change builds its band-limited tables on the caller's thread,
// never the audio thread's, and hands them over for the next period.
#pragma once

#include <cstdint>

class Oscillator;
class Instrument;

void AttachLiveWave(Oscillator& oscillator, double frequency, double sampleRate, double gain);
// An instrument of one wave takes the change as that wave.
void AttachLiveWave(Instrument& instrument, double gain);
// Called by the player as it goes; waits for a change under way.
void DetachLiveWave(const void* player);
// False when nothing plays.
bool ChangeLiveWave(const std::int16_t (&wave)[128]);

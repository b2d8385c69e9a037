// The two ways a preview reaches the speakers. Each opens its system on a
// lane, plays the request and closes in order, filling the watch's report.
#pragma once

#include "PlayWatch.h"

// A client "NAME" with one audio output, connected to the request's port or
// to every physical playback port. Called only when a server answers.
void PlayThroughJack(PlayWatch& watch);

// ALSA's default PCM device, mono 16-bit at 48 kHz (its plug layer converts).
// A device that can't be opened is kNoOutput.
void PlayThroughAlsa(PlayWatch& watch);

// Bytes the kernel dropped below the ALSA sequencer. A card's MIDI port
// hands its bytes to the sequencer through a raw MIDI buffer (4 KiB by
// default); when the kernel falls behind a burst (a USB interface delivers
// a bank in milliseconds), that buffer overruns and no sequencer client is
// told. The card counts those bytes, while the input is open, in
// /proc/asound/cardN/midiD ("Overruns").
#pragma once

#include <string>
#include <vector>

class RawMidiOverruns
{
public:
    RawMidiOverruns() = default;
    // The raw MIDI inputs of `card` (-1: none, as for another program's port).
    explicit RawMidiOverruns(int card);

    // Bytes dropped since the last call, or since this began to watch;
    // `where` names the file that counted them.
    long Since(std::string& where);

private:
    long Count(std::string& where) const;

    std::vector<std::string> m_files;
    long m_last = 0;
};

// qwdump's exit statuses; scripts rely on them.
#pragma once

enum ExitStatus : int {
    kExitOk = 0,
    kExitFileError = 1,   // the WAV file did not load, the output could not be written, or no audio output
    kExitUsage = 2,       // missing, unknown or out-of-range arguments
    kExitNoSuchPort = 3,  // no MIDI destination has the given title; play: no such JACK audio port
    kExitSendFailed = 4,  // the send was refused, not delivered, or did not finish in time;
                          // play: the audio system refused, went away or stopped answering
    kExitIncomplete = 5,  // receive: input was lost or a message cut short, or fewer than --count
                          // wave dumps arrived; what arrived whole is written
};

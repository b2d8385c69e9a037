// Note names as musicians write them: a letter, a sharp or flat, an octave,
// with A4 = 440 Hz and C4 = middle C (MIDI note 60).
#pragma once

#include <optional>
#include <string>

// The frequency of `name` ("C3", "F#2", "Bb5", "C-1" to "G9"), in equal
// temperament; nothing when it is no such note.
std::optional<double> NoteFrequency(const std::string& name);

// How a note name is written, for a refusal of one that is not.
inline constexpr char kNoteNameRule[] = "a letter from A to G, a sharp (#) or flat (b) if any, then the octave, from "
                                        "C-1 to G9: C3, F#2, Bb5 (A4 is 440 Hz)";

// What Play's level may be, in dB: full scale down to the 16-bit floor.
inline constexpr double kLowestLevelDb = -96.0;
inline constexpr double kHighestLevelDb = 0.0;

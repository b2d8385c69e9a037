// Note names as musicians write them: a letter, a sharp or flat, an octave,
// with A4 = 440 Hz and C4 = middle C (MIDI note 60).
#pragma once

#include <optional>
#include <string>

// The frequency of `name` ("C3", "F#2", "Bb5", "C-1" to "G9"), in equal
// temperament; nothing when it is no such note.
std::optional<double> NoteFrequency(const std::string& name);

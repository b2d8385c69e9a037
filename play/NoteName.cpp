#include "NoteName.h"

#include <cctype>
#include <cmath>
#include <cstring>

std::optional<double> NoteFrequency(const std::string& name)
{
    static const char kLetters[] = "CDEFGAB";
    static const int kSemitones[] = {0, 2, 4, 5, 7, 9, 11};
    if (name.empty())
        return std::nullopt;
    const char* letter = std::strchr(kLetters, std::toupper(static_cast<unsigned char>(name[0])));
    if (letter == nullptr || *letter == '\0')
        return std::nullopt;
    int semitone = kSemitones[letter - kLetters];
    std::size_t at = 1;
    if (at < name.size() && (name[at] == '#' || name[at] == 'b'))
        semitone += name[at++] == '#' ? 1 : -1;
    const std::string octave = name.substr(at);
    if (octave != "-1" && (octave.size() != 1 || !std::isdigit(static_cast<unsigned char>(octave[0]))))
        return std::nullopt;
    const int note = 12 * (std::stoi(octave) + 1) + semitone;
    if (note < 0 || note > 127)
        return std::nullopt;
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// qwdump play FILE [--note NOTE | --hz F] [--seconds S] [--gain DB]
// [--port AUDIO_PORT] [--fit METHOD]: hear a wave exactly as it would be
// sent, looped as an oscillator, before it overwrites a slot. With
// --midi-in SOURCE a keyboard plays it, and a bank as a table.

#include "Command.h"
#include "DestinationDirectory.h"
#include "Engine.h"
#include "ExitStatus.h"
#include "FitWave.h"
#include "InputFile.h"
#include "NoteName.h"
#include "NumberOption.h"
#include "PrintableText.h"
#include "ReadReport.h"
#include "StandardOutput.h"
#include "SystemLog.h"
#include "SyxFile.h"
#include "Termination.h"
#include "WaveDump.h"
#include "WavePlayEntry.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr double kMaxSeconds = 3600;

class PlayCommand : public Command
{
public:
    explicit PlayCommand(CLI::App& app)
        : Command(app.add_subcommand(
              "play", "Play the 128-sample wave of a WAV file exactly as it would be sent, looped as an oscillator: "
                      "through JACK when a server is running, otherwise through ALSA's default device. A .syx file's "
                      "messages play one after another. Harmonics at or above half the output's sample rate are left "
                      "out, so high notes do not alias. With --midi-in, a MIDI keyboard plays the wave until Ctrl-C: "
                      "16 voices, velocity as (velocity/127)^2 of the level, sustain (CC 64), pitch bend +-2 "
                      "semitones, all notes off (CC 123) and all sound off (CC 120); a .syx bank plays as a table, "
                      "the mod wheel (CC 1) moving through its waves in order and program change N picking wave "
                      "97+N. Exit status: 0 played (or ended by Ctrl-C, then 130, or SIGTERM, 143); 1 the file did "
                      "not load, or there is no audio output; 2 usage errors; 3 --port is not a JACK audio input, or "
                      "--midi-in names no MIDI source, or it went away while it played; 4 the audio system refused, "
                      "went away or stopped answering."))
    {
    }

    void AddOptions() override
    {
        m_subcommand->add_option("FILE", m_file, "Mono 16-bit PCM WAV file, or .syx file of wave dump messages")
            ->required();
        auto* note =
            m_subcommand
                ->add_option("--note,-n", m_note,
                             "Pitch as a note name: a letter from A to G, a sharp (#) or flat (b) if any, then the "
                             "octave, from C-1 to G9: C3 (the default), F#2, Bb5; A4 is 440 Hz, C4 middle C")
                ->check([](const std::string& name) {
                    return NoteFrequency(name) ? "" : name + " is not a note name: " + kNoteNameRule;
                });
        m_subcommand->add_option("--hz", m_hz, "Pitch in Hz, 8 to 12544")
            ->transform(NumberIn(8, 12544, "Hz"))
            ->excludes(note);
        // Shorter than a millisecond would be no sound at all, or (rounded
        // to no frame) no end.
        auto* hz = m_subcommand->get_option("--hz");
        auto* seconds = m_subcommand
                            ->add_option("--seconds,-s", m_seconds,
                                         "How long each wave plays, 0.001 to 3600; 0 plays one until Ctrl-C")
                            ->transform(NumberIn(0.001, kMaxSeconds, "seconds", true))
                            ->capture_default_str();
        // The keys give the pitch and the time.
        m_subcommand
            ->add_option("--midi-in,-m", m_midiIn,
                         "Play from this MIDI source until Ctrl-C: its exact title as 'qwdump ports --sources' "
                         "lists it, or its address (ALSA CLIENT:PORT such as 20:0, JACK client:port)")
            ->excludes(note)
            ->excludes(hz)
            ->excludes(seconds);
        m_subcommand
            ->add_option("--gain,-g", m_gainDb,
                         "Level in dB, -96 to 0 (full scale: a wave whose band-limited peak would pass it is "
                         "scaled down to reach it)")
            ->transform(NumberIn(kLowestLevelDb, kHighestLevelDb, "dB"))
            ->capture_default_str();
        m_subcommand->add_option("--port,-p", m_port,
                                 "A JACK audio input port to play to, e.g. system:playback_1 (default: every "
                                 "physical playback port)");
        AddFitOptions(*m_subcommand, m_fit, m_request);
    }

    int Run() override
    {
        PlayRequest request;
        if (const int status = ReadWaves(request.waves); status != kExitOk)
            return status;
        if (!m_midiIn.empty()) {
            if (const int status = FindSource(request); status != kExitOk)
                return status;
        } else if (m_seconds == 0 && request.waves.size() > 1) {
            std::fprintf(stderr, "qwdump: %s holds %zu waves; --seconds 0 plays one until Ctrl-C: give each a time\n",
                         EscapeControlCharacters(m_file).c_str(), request.waves.size());
            return kExitUsage;
        }
        request.frequency = m_hz > 0 ? m_hz : *NoteFrequency(m_note);
        request.gainDb = m_gainDb;
        if (m_midiIn.empty())
            request.secondsEach = m_seconds;
        request.jackPort = m_port;
        request.stopFd = TerminationFd();
        PlayReport report;
        if (std::string error; !PlayWaves(
                request, [&](const PlayReport& opened) { Announce(request, opened); }, report, error)) {
            std::fprintf(stderr, "qwdump: %s\n", EscapeControlCharacters(error).c_str());
            return kExitFileError;
        }
        const int status = Outcome(report);
        return FinishStandardOutput(status);
    }

private:
    int ReadWaves(std::vector<PlayWave>& waves)
    {
        InputFile input(m_file);
        if (input.IsSyx()) {
            std::vector<SysexMessage> messages;
            if (ReadNotes notes; !Reported(input.ReadSyx(messages, notes), notes))
                return kExitFileError;
            for (const SysexMessage& message : messages) {
                std::int16_t samples[128];
                WaveDump::Unpack(message.data(), samples);
                waves.emplace_back();
                std::copy(std::begin(samples), std::end(samples), waves.back().begin());
                m_numbers.push_back(WaveDump::WaveNumberOf(message.data()));
                m_waveNumbers += (m_waveNumbers.empty() ? " (wave " : ", ") + std::to_string(m_numbers.back());
            }
            m_waveNumbers += ")";
            return kExitOk;
        }
        // Fitted, a wavetable's frames play one after another.
        if (const FitRequest* fit = FitOption(m_fit, m_request)) {
            FittedTable table;
            if (ReadNotes notes; !Reported(input.Fit(*fit, table, notes), notes))
                return kExitFileError;
            for (const FittedFrame& frame : table.frames) {
                waves.emplace_back();
                std::copy(std::begin(frame.samples), std::end(frame.samples), waves.back().begin());
            }
            return kExitOk;
        }
        CEngine loaded;
        if (ReadNotes notes; !Reported(input.LoadWave(loaded, notes), notes))
            return kExitFileError;
        waves.emplace_back();
        std::copy(std::begin(loaded.m_anWave), std::end(loaded.m_anWave), waves.back().begin());
        return kExitOk;
    }

    // The source's address, which the audio module connects to.
    int FindSource(PlayRequest& request)
    {
        const MIDIEndpointRef source = FindMIDIPortByTitleOrAddress(m_midiIn, true);
        if (source == 0) {
            std::fprintf(stderr, "qwdump: no MIDI source titled '%s'; 'qwdump ports --sources' lists them\n",
                         EscapeControlCharacters(m_midiIn).c_str());
            return kExitNoSuchPort;
        }
        std::string name, model;
        MIDIObjectGetStringProperty(source, kMIDIPropertyAddress, request.midiIn);
        MIDIObjectGetStringProperty(source, kMIDIPropertyName, name);
        MIDIObjectGetStringProperty(source, kMIDIPropertyModel, model);
        m_sourceTitle = name + " (" + model + ")";
        if (request.midiIn.empty()) {
            std::fprintf(stderr, "qwdump: MIDI source '%s' went away\n", EscapeControlCharacters(m_midiIn).c_str());
            return kExitNoSuchPort;
        }
        request.waveNumbers = m_numbers;
        request.secondsEach = 0;
        return kExitOk;
    }

    void Announce(const PlayRequest& request, const PlayReport& opened)
    {
        if (!m_midiIn.empty()) {
            Print("Playing %s%s from %s, %.1f dB, until Ctrl-C through %s\n", EscapeControlCharacters(m_file).c_str(),
                  m_waveNumbers.c_str(), EscapeControlCharacters(m_sourceTitle).c_str(), m_gainDb,
                  opened.output.c_str());
            std::fflush(stdout);
            if (opened.limitedDb < 0)
                std::fprintf(stderr, "qwdump: %s: scaled down by %.1f dB: band-limited, it would pass full scale\n",
                             EscapeControlCharacters(m_file).c_str(), -opened.limitedDb);
            return;
        }
        const std::string pitch = m_hz > 0 ? "" : m_note + " ";
        std::string length = m_seconds == 0 ? "until Ctrl-C" : "for " + Seconds(m_seconds);
        if (request.waves.size() > 1)
            length = Seconds(m_seconds) + " each";
        Print("Playing %s%s at %s(%.2f Hz), %.1f dB, %s through %s\n", EscapeControlCharacters(m_file).c_str(),
              m_waveNumbers.c_str(), pitch.c_str(), request.frequency, m_gainDb, length.c_str(), opened.output.c_str());
        std::fflush(stdout);
        if (opened.limitedDb < 0)
            std::fprintf(stderr, "qwdump: %s: scaled down by %.1f dB: band-limited, it would pass full scale\n",
                         EscapeControlCharacters(m_file).c_str(), -opened.limitedDb);
        if (opened.harmonicsKept == 0)
            std::fprintf(stderr, "qwdump: %.2f Hz is at or above half the output's rate (%u Hz): silence\n",
                         request.frequency, opened.sampleRate);
    }

    static std::string Seconds(double seconds)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%g s", seconds);
        return text;
    }

    int Outcome(const PlayReport& report) const
    {
        if (report.periodFrames > 0 && report.sampleRate > 0)
            LogLine("qwdump play: %s, %u Hz, periods of %u frames (%.2f ms); %s; "
                    "the callback took at most %.3f ms a period",
                    report.output.c_str(), report.sampleRate, report.periodFrames,
                    1e3 * report.periodFrames / report.sampleRate,
                    m_midiIn.empty() ? ("harmonics 1 to " + std::to_string(report.harmonicsKept) + " kept").c_str()
                                     : "each key's harmonics below half the sample rate, bent up 2 semitones",
                    1e3 * report.worstPeriodSeconds);
        if (report.worstEventWaitSeconds > 0)
            LogLine("qwdump play: a sequencer event waited at most %.3f ms for its period, the periods "
                    "coming at most %.3f ms apart; at most %.3f ms past the first period after its arrival",
                    1e3 * report.worstEventWaitSeconds, 1e3 * report.worstEventPeriodSeconds,
                    1e3 * report.worstEventMissedSeconds);
        if (report.underruns > 0)
            std::fprintf(stderr,
                         "qwdump: the audio device ran dry %u time%s (the machine was too busy): the sound "
                         "had gaps\n",
                         report.underruns, report.underruns == 1 ? "" : "s");
        if (report.outcome == PlayOutcome::kPlayed)
            return kExitOk;
        if (report.outcome == PlayOutcome::kSourceGone) {
            std::fprintf(stderr, "qwdump: MIDI source '%s' went away\n", EscapeControlCharacters(m_midiIn).c_str());
            return kExitNoSuchPort;
        }
        std::fprintf(stderr, "qwdump: %s\n", EscapeControlCharacters(report.error).c_str());
        switch (report.outcome) {
        case PlayOutcome::kNoOutput:
            return kExitFileError;
        case PlayOutcome::kNoPort:
            return kExitNoSuchPort;
        default:
            return kExitSendFailed;
        }
    }

    std::string m_file;
    std::string m_note = "C3";
    double m_hz = 0;
    double m_seconds = 2;
    double m_gainDb = -12;
    std::string m_port;
    std::string m_fit;
    FitRequest m_request;
    std::string m_waveNumbers;
    std::vector<int> m_numbers;
    std::string m_midiIn;
    std::string m_sourceTitle;
};

}  // namespace

std::unique_ptr<Command> AddPlayCommand(CLI::App& app)
{
    return std::make_unique<PlayCommand>(app);
}

#include "InputFile.h"

#include "LoadMessages.h"
#include "WaveDump.h"
#include "WaveFitLoader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A synth that dumps twice leaves a wave twice in one file: the later copy
// is the one kept, in its place, with a notice naming the wave.
void KeepLaterCopies(std::vector<SysexMessage>& messages, const std::string& path, ReadNotes& notes)
{
    std::vector<SysexMessage> kept;
    for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
        const int wave = WaveDump::WaveNumberOf(it->data());
        if (std::none_of(kept.begin(), kept.end(),
                         [wave](const SysexMessage& later) { return WaveDump::WaveNumberOf(later.data()) == wave; }))
            kept.push_back(std::move(*it));
        else
            notes.notices.push_back(path + ": wave " + std::to_string(wave) +
                                    " is in it again further on; the later copy replaces this one");
    }
    messages.assign(std::make_move_iterator(kept.rbegin()), std::make_move_iterator(kept.rend()));
}

constexpr int kBitsTheLoaderReads = 16;

// Why the file could not be opened, as the system tells it.
std::string WhyNotOpened(const LoadFacts& facts)
{
    switch (facts.fileType) {
    case 0:
        return facts.openErrno != 0 ? std::strerror(facts.openErrno) : "";
    case S_IFDIR:
        return std::strerror(EISDIR);
    case S_IFIFO:
        return "Is a named pipe, not a regular file";
    case S_IFSOCK:
        return "Is a socket, not a regular file";
    default:
        return "Is a device, not a regular file";
    }
}

// Whether the first bytes of a file that is no RIFF WAVE file name another
// audio format that libsndfile, and so the fit, reads.
bool IsOtherAudio(const std::uint8_t* head, std::size_t size)
{
    const auto starts = [&](const char* magic, std::size_t at = 0) {
        const std::size_t length = std::strlen(magic);
        return size >= at + length && std::memcmp(head + at, magic, length) == 0;
    };
    return starts("fLaC") || starts("OggS") || starts("RF64") || starts("RIFX") || starts("riff") || starts("caff") ||
           starts(".snd") || starts("ID3") ||
           (starts("FORM") && (starts("AIFF", 8) || starts("AIFC", 8) || starts("8SVX", 8)));
}

}  // namespace

InputFile::InputFile(std::string path) : m_path(std::move(path)), m_fd(OpenWaveFile(m_path.c_str(), m_facts))
{
    // Read in place, so that every reader still starts at the beginning.
    const ssize_t got = m_fd >= 0 ? ::pread(m_fd, m_head, sizeof m_head, 0) : -1;
    m_headSize = got > 0 ? static_cast<std::size_t>(got) : 0;
    m_syx = m_headSize > 0 && m_head[0] == 0xF0;
}

InputFile::InputFile(InputFile&& other) noexcept
    : m_path(other.m_path), m_facts(other.m_facts), m_fd(other.Take()), m_syx(other.m_syx), m_headSize(other.m_headSize)
{
    std::memcpy(m_head, other.m_head, sizeof m_head);
}

InputFile::~InputFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int InputFile::Take()
{
    return std::exchange(m_fd, -1);
}

bool InputFile::LoadWave(CEngine& wave, ReadNotes& notes)
{
    if (LoadWaveFileFrom(wave, Take(), m_facts)) {
        if (m_facts.declaredBits != kBitsTheLoaderReads)
            notes.notices.push_back(m_path + ": declares " + std::to_string(m_facts.declaredBits) +
                                    "-bit samples; its bytes are read as 16-bit pairs (qwdump fit converts it)");
        return true;
    }
    // Beside the loader's own words (its fixed texts, by address): where
    // audio it does not take is read.
    const char* error = wave.m_pszError;
    const bool fitReadsIt = error == LoadMessages::kNotMonoPcm || error == LoadMessages::kTooMany ||
                            error == LoadMessages::kTooFew ||
                            (error == LoadMessages::kNotWav && IsOtherAudio(m_head, m_headSize));
    const std::string reason = fitReadsIt ? "qwdump fit reads audio files other than mono 16-bit PCM WAV, as pack, "
                                            "send and play do with --fit harmonic"
                                          : WhyNotOpened(m_facts);
    notes.failure = m_path + ": " + error + (reason.empty() ? "" : " (" + reason + ")");
    return false;
}

bool InputFile::Fit(const FitRequest& request, FittedTable& table, ReadNotes& notes)
{
    // Not opened: the fit tries the path itself, and says why in its words.
    return FitFile(m_path, request, table, notes, Take());
}

bool InputFile::ReadSyx(std::vector<SysexMessage>& messages, ReadNotes& notes, bool skipOthers)
{
    std::string error;
    std::vector<std::string> skipped;
    bool read = false;
    if (m_fd >= 0)
        read = ReadSyxMessages(Take(), messages, error, skipOthers ? &skipped : nullptr);
    else
        error = m_facts.fileType != 0 ? "not a regular file" : std::strerror(m_facts.openErrno);
    for (const std::string& notice : skipped)
        notes.notices.push_back(m_path + ": " + notice);
    if (read)
        KeepLaterCopies(messages, m_path, notes);
    if (!read)
        notes.failure = m_path + ": " + error;
    return read;
}

bool FitFile(const std::string& path, const FitRequest& request, FittedTable& table, ReadNotes& notes, int fd)
{
    std::string error;
    const WaveFitModule* module = WaveFitEntry(error);
    if (module == nullptr) {
        if (fd >= 0)
            ::close(fd);
        notes.failure = "can't fit audio files: " + error;
        return false;
    }
    if (!FitThroughModule(module->fit, module->release, path.c_str(), fd, request, table, error)) {
        notes.failure = path + ": " + error;
        return false;
    }
    if (table.scaledToFit) {
        char db[32];
        std::snprintf(db, sizeof db, "%.1f", -20.0 * std::log10(table.gain));
        notes.notices.push_back(path + ": scaled down by " + db + " dB to fit the 16-bit range");
    }
    if (table.proposedFrameSize != 0) {
        const std::string size = std::to_string(table.proposedFrameSize);
        notes.notices.push_back(path + ": this looks like " +
                                std::to_string(table.sourceFrames / table.proposedFrameSize) + " cycles of " + size +
                                " frames; try --frame-size " + size);
    }
    return true;
}

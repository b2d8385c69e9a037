#include "AudioCycle.h"

#include <sndfile.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// libsndfile names its sample formats only in prose ("Signed 24 bit PCM");
// these are the short names of its constants.
std::string FormatName(SNDFILE* file, int format)
{
#define QWD_FORMAT(name) {SF_FORMAT_##name, #name}
    static const struct
    {
        int code;
        const char* name;
    } kNames[] = {
        QWD_FORMAT(PCM_S8),    QWD_FORMAT(PCM_16),       QWD_FORMAT(PCM_24),       QWD_FORMAT(PCM_32),
        QWD_FORMAT(PCM_U8),    QWD_FORMAT(FLOAT),        QWD_FORMAT(DOUBLE),       QWD_FORMAT(ULAW),
        QWD_FORMAT(ALAW),      QWD_FORMAT(IMA_ADPCM),    QWD_FORMAT(MS_ADPCM),     QWD_FORMAT(GSM610),
        QWD_FORMAT(VOX_ADPCM), QWD_FORMAT(G721_32),      QWD_FORMAT(G723_24),      QWD_FORMAT(G723_40),
        QWD_FORMAT(DWVW_12),   QWD_FORMAT(DWVW_16),      QWD_FORMAT(DWVW_24),      QWD_FORMAT(DWVW_N),
        QWD_FORMAT(DPCM_8),    QWD_FORMAT(DPCM_16),      QWD_FORMAT(VORBIS),       QWD_FORMAT(OPUS),
        QWD_FORMAT(ALAC_16),   QWD_FORMAT(ALAC_20),      QWD_FORMAT(ALAC_24),      QWD_FORMAT(ALAC_32),
        QWD_FORMAT(MPEG_LAYER_I), QWD_FORMAT(MPEG_LAYER_II), QWD_FORMAT(MPEG_LAYER_III),
    };
#undef QWD_FORMAT
    const int subtype = format & SF_FORMAT_SUBMASK;
    for (const auto& entry : kNames)
        if (entry.code == subtype)
            return entry.name;
    SF_FORMAT_INFO info{};
    info.format = subtype;
    if (sf_command(file, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name != nullptr)
        return info.name;
    return "format " + std::to_string(subtype);
}

struct DescriptorCloser
{
    int fd;
    ~DescriptorCloser() { ::close(fd); }
};

struct Closer
{
    void operator()(SNDFILE* file) const { sf_close(file); }
};

// Averages the channels of every frame into `cycle`.
bool ReadFrames(SNDFILE* file, AudioCycle& cycle, std::string& error)
{
    const auto channels = static_cast<std::size_t>(cycle.channels);
    constexpr sf_count_t kBlockFrames = 4096;
    std::vector<double> block(static_cast<std::size_t>(kBlockFrames) * channels);
    // Normalised reads give every integer format full scale at 1.0.
    const double scale = 32768.0 / static_cast<double>(channels);
    for (std::size_t done = 0; done < cycle.samples.size();) {
        const sf_count_t read = sf_readf_double(file, block.data(), kBlockFrames);
        if (read <= 0) {
            error = sf_error(file) != SF_ERR_NO_ERROR
                        ? std::string("can't read it: ") + sf_strerror(file)
                        : "it ends after " + std::to_string(done) + " of its " +
                              std::to_string(cycle.samples.size()) + " frames";
            return false;
        }
        const double* frame = block.data();
        for (sf_count_t f = 0; f < read && done < cycle.samples.size(); ++f, frame += channels) {
            double sum = 0.0;
            for (std::size_t c = 0; c < channels; ++c)
                sum += frame[c];
            if (!std::isfinite(sum)) {
                error = "frame " + std::to_string(done) + " holds a sample that is not a finite number";
                return false;
            }
            cycle.samples[done++] = sum * scale;
        }
    }
    return true;
}

}  // namespace

bool ReadAudioCycle(const char* path, AudioCycle& cycle, std::string& error)
{
    // Opened here, not by libsndfile: a named pipe must be refused, not
    // waited on.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = std::string("can't open it: ") + std::strerror(errno);
        return false;
    }
    const DescriptorCloser closer{fd};
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        error = std::string("can't look at it: ") + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "not a regular file";
        return false;
    }

    SF_INFO format{};
    const std::unique_ptr<SNDFILE, Closer> file(sf_open_fd(fd, SFM_READ, &format, SF_FALSE));
    if (!file) {
        error = sf_strerror(nullptr);
        return false;
    }
    if (format.frames < 2) {
        error = "too short to be one cycle: " + std::to_string(format.frames) + " frame" +
                (format.frames == 1 ? "" : "s") + ", at least 2 needed";
        return false;
    }
    if (format.frames > kMaxCycleFrames) {
        error = "too long to be one cycle: " + std::to_string(format.frames) + " frames, at most " +
                std::to_string(kMaxCycleFrames);
        return false;
    }
    cycle.channels = format.channels;
    cycle.format = FormatName(file.get(), format.format);
    cycle.samples.assign(static_cast<std::size_t>(format.frames), 0.0);
    return ReadFrames(file.get(), cycle, error);
}

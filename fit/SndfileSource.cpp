// The module's reader of every file but a plain WAV file: libsndfile, in a
// module of its own that the fit module opens only for such a file, since
// libsndfile brings eight codec libraries with it.

#include "AudioSource.h"
#include "SiblingModule.h"

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <type_traits>
#include <vector>

namespace {

// libsndfile names its sample formats only in prose ("Signed 24 bit PCM");
// these are the short names of its constants.
std::string FormatName(SNDFILE* file, int format)
{
#define QWD_FORMAT(name)                                                                                               \
    {                                                                                                                  \
        SF_FORMAT_##name, #name                                                                                        \
    }
    static const struct
    {
        int code;
        const char* name;
    } kNames[] = {
        QWD_FORMAT(PCM_S8),       QWD_FORMAT(PCM_16),        QWD_FORMAT(PCM_24),         QWD_FORMAT(PCM_32),
        QWD_FORMAT(PCM_U8),       QWD_FORMAT(FLOAT),         QWD_FORMAT(DOUBLE),         QWD_FORMAT(ULAW),
        QWD_FORMAT(ALAW),         QWD_FORMAT(IMA_ADPCM),     QWD_FORMAT(MS_ADPCM),       QWD_FORMAT(GSM610),
        QWD_FORMAT(VOX_ADPCM),    QWD_FORMAT(G721_32),       QWD_FORMAT(G723_24),        QWD_FORMAT(G723_40),
        QWD_FORMAT(DWVW_12),      QWD_FORMAT(DWVW_16),       QWD_FORMAT(DWVW_24),        QWD_FORMAT(DWVW_N),
        QWD_FORMAT(DPCM_8),       QWD_FORMAT(DPCM_16),       QWD_FORMAT(VORBIS),         QWD_FORMAT(OPUS),
        QWD_FORMAT(ALAC_16),      QWD_FORMAT(ALAC_20),       QWD_FORMAT(ALAC_24),        QWD_FORMAT(ALAC_32),
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

struct Closer
{
    void operator()(SNDFILE* file) const { sf_close(file); }
};

class SndfileSource : public AudioSource
{
public:
    explicit SndfileSource(SNDFILE* file) : m_file(file) {}

    bool Read(double* samples, std::size_t count) override
    {
        const auto width = static_cast<std::size_t>(channels);
        constexpr sf_count_t kBlockFrames = 4096;
        m_block.resize(static_cast<std::size_t>(kBlockFrames) * width);
        // Normalised reads give every integer format full scale at 1.0.
        const double scale = 32768.0 / static_cast<double>(channels);
        for (std::size_t done = 0; done < count;) {
            const auto wanted = static_cast<sf_count_t>(std::min<std::size_t>(kBlockFrames, count - done));
            const sf_count_t read = sf_readf_double(m_file.get(), m_block.data(), wanted);
            if (read <= 0) {
                failure =
                    sf_error(m_file.get()) != SF_ERR_NO_ERROR
                        ? std::string("can't read it: ") + sf_strerror(m_file.get())
                        : "it ends after " + std::to_string(m_read) + " of its " + std::to_string(frames) + " frames";
                return false;
            }
            const double* frame = m_block.data();
            for (sf_count_t f = 0; f < read; ++f, frame += width) {
                double sum = 0.0;
                for (std::size_t c = 0; c < width; ++c)
                    sum += frame[c];
                samples[done++] = sum * scale;
            }
            m_read += read;
        }
        return true;
    }

private:
    std::unique_ptr<SNDFILE, Closer> m_file;
    std::vector<double> m_block;
    std::int64_t m_read = 0;
};

}  // namespace

extern "C" bool QwdOpenSndfileSource(int fd, std::unique_ptr<AudioSource>& source, char* error, std::size_t errorSize)
{
    SF_INFO format{};
    SNDFILE* file = sf_open_fd(fd, SFM_READ, &format, SF_FALSE);
    if (file == nullptr) {
        std::snprintf(error, errorSize, "%s", sf_strerror(nullptr));
        return false;
    }
    auto opened = std::make_unique<SndfileSource>(file);
    opened->frames = format.frames;
    opened->channels = format.channels;
    opened->format = FormatName(file, format.format);
    source = std::move(opened);
    return true;
}

static_assert(std::is_same_v<decltype(&QwdOpenSndfileSource), OpenSndfileSourceFn>);

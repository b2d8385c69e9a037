#include "SendProgress.h"

#include <cstdio>

#include <unistd.h>

namespace {

constexpr int kBarWidth = 20;

}  // namespace

SendProgress::SendProgress(std::size_t total, std::chrono::microseconds perMessage)
    : m_enabled(::isatty(STDERR_FILENO) == 1), m_total(total), m_perMessage(perMessage)
{
}

void SendProgress::Show(std::size_t index, int waveNumber, const std::string& file)
{
    if (!m_enabled || m_total == 0)
        return;
    const auto filled = static_cast<int>(kBarWidth * index / m_total);
    const double secondsLeft = std::chrono::duration<double>(m_perMessage * (m_total - index)).count();
    std::fprintf(stderr, "\r\033[K%zu/%zu  wave %d  %s  [%.*s%*s]  %.1f s left", index + 1, m_total, waveNumber,
                 file.c_str(), filled, "####################", kBarWidth - filled, "", secondsLeft);
    std::fflush(stderr);
    m_shown = true;
}

void SendProgress::Clear()
{
    if (!m_shown)
        return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    m_shown = false;
}

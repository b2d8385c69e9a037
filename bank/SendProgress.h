// A progress line for a bank send, redrawn in place on standard error, and
// only when that is a terminal: redirected, stderr gets no control codes.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

class SendProgress
{
public:
    SendProgress(std::size_t total, std::chrono::microseconds perMessage);

    // Message `index` (from 0) is going out.
    void Show(std::size_t index, int waveNumber, const std::string& file);
    // Takes the line away, before other output or at the end.
    void Clear();

private:
    const bool m_enabled;
    const std::size_t m_total;
    const std::chrono::microseconds m_perMessage;
    bool m_shown = false;
};

// The longest an audio callback took for one period, kept without locks:
// the figure to hold against the period's own length.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>

class PeriodTimer
{
public:
    // Realtime: clock_gettime is answered in user space (vDSO).
    static std::int64_t Now() noexcept
    {
        timespec now;
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
    }
    void Note(std::int64_t started) noexcept
    {
        const std::int64_t took = Now() - started;
        if (took > m_worst.load(std::memory_order_relaxed))
            m_worst.store(took, std::memory_order_relaxed);  // one writer: the audio thread
    }
    double WorstSeconds() const noexcept { return static_cast<double>(m_worst.load()) * 1e-9; }

private:
    std::atomic<std::int64_t> m_worst{0};
};

// What an output plays and its watcher looks at: the preview's oscillator or
// the keyboard's instrument. Render is realtime: it never allocates, locks or
// blocks.
#pragma once

#include <cstddef>
#include <cstdint>

class PlaySource
{
public:
    virtual ~PlaySource() = default;
    // `frames` samples into `out`; silence once finished.
    virtual void Render(float* out, std::size_t frames) noexcept = 0;
    // Any thread: fade out from where it is, then finish.
    virtual void RequestStop() noexcept = 0;
    virtual bool Finished() const noexcept = 0;
    virtual std::uint64_t FramesRendered() const noexcept = 0;
};

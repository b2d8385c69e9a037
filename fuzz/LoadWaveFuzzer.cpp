// Any bytes as a WAV file: the load either succeeds cleanly or fails with one
// of the fixed messages, and never crashes or misbehaves under the sanitizers.

#include "LoadContract.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CheckLoadContract(s_Engine, s_Engine.LoadWaveFile(WriteInputFile(data, size)));
    return 0;
}

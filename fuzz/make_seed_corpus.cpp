// The fuzzers' seeds: WAV files of the shapes the loader tells apart.
//
//   make_seed_corpus OUTPUT_DIR

#include "WavBytes.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const std::string data256 = SampleBytes(Ramp(128));
    const std::pair<const char*, std::string> seeds[] = {
        {"direct-256", WavBytes::Mono(data256).str()},
        {"fitted-300", WavBytes::Mono(SampleBytes(Ramp(150))).str()},
        {"chunks", WavBytes::Riff()
                       .Chunk("LIST", "odd")
                       .Chunk("fmt ", WavBytes::FormatBody() + "xy")
                       .Chunk("data", data256)
                       .str()},
        {"stereo", WavBytes::Riff().Format(1, 2).Chunk("data", data256).str()},
        {"truncated", WavBytes::Riff().Format().Header("data", 1000).Raw(std::string(100, 3)).str()},
        {"huge-chunk", WavBytes::Riff().Format().Header("junk", 0x80000000u).Chunk("data", data256).str()},
        {"data-first", WavBytes::Riff().Chunk("data", data256).Format().str()},
    };
    for (const auto& [name, bytes] : seeds) {
        if (!(std::ofstream(std::string(argv[1]) + "/" + name + ".wav", std::ios::binary) << bytes)) {
            std::perror(name);
            return 1;
        }
    }
    return 0;
}

// Writes the fuzzers' seed corpus: small WAV files of every shape the loader
// distinguishes, so fuzzing starts past the header checks.
//
//   make_seed_corpus OUTPUT_DIR

#include "WavBytes.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seed_corpus OUTPUT_DIR\n");
        return 2;
    }
    const std::string data256 = SampleBytes(Ramp(128));
    const std::vector<std::pair<const char*, std::string>> seeds = {
        {"direct-256", WavBytes::Mono(data256).str()},
        {"fitted-512", WavBytes::Mono(SampleBytes(Ramp(256))).str()},
        {"fitted-257", WavBytes::Mono(data256 + 'x').str()},
        {"fitted-300", WavBytes::Mono(SampleBytes(Ramp(150))).str()},
        {"list-chunks", WavBytes::Riff().Chunk("LIST", "odd").Format().Chunk("LIST", "abcd").Chunk("data", data256).str()},
        {"format-18", WavBytes::Riff().Chunk("fmt ", FormatBody() + std::string(2, '\0')).Chunk("data", data256).str()},
        {"stereo", WavBytes::Riff().Format(1, 2).Chunk("data", data256).str()},
        {"too-few", WavBytes::Mono(std::string(254, 1)).str()},
        {"truncated", WavBytes::Riff().Format().Header("data", 1000).Raw(std::string(100, 3)).str()},
        {"truncated-256", WavBytes::Riff().Format().Header("data", 256).Raw(std::string(100, 3)).str()},
        {"huge-chunk", WavBytes::Riff().Format().Header("junk", 0x80000000u).Chunk("data", data256).str()},
        {"data-first", WavBytes::Riff().Chunk("data", data256).Format().str()},
    };
    for (const auto& [name, bytes] : seeds) {
        const std::string path = std::string(argv[1]) + "/" + name + ".wav";
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr || std::fwrite(bytes.data(), bytes.size(), 1, file) != 1 || std::fclose(file) != 0) {
            std::perror(path.c_str());
            return 1;
        }
    }
    return 0;
}

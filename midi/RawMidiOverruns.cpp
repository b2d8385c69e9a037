#include "RawMidiOverruns.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <glob.h>

RawMidiOverruns::RawMidiOverruns(int card)
{
    if (card < 0)
        return;
    const std::string pattern = "/proc/asound/card" + std::to_string(card) + "/midi*";
    glob_t found{};
    if (::glob(pattern.c_str(), 0, nullptr, &found) == 0)
        m_files.assign(found.gl_pathv, found.gl_pathv + found.gl_pathc);
    ::globfree(&found);
    std::string ignored;
    m_last = Count(ignored);
}

long RawMidiOverruns::Since(std::string& where)
{
    const long now = Count(where);
    // Closed and opened again meanwhile, it counts from naught.
    const long dropped = now > m_last ? now - m_last : 0;
    m_last = now;
    return dropped;
}

// Every "Overruns : N" line (only inputs have them), summed.
long RawMidiOverruns::Count(std::string& where) const
{
    long total = 0;
    for (const std::string& file : m_files) {
        std::FILE* in = std::fopen(file.c_str(), "re");
        if (in == nullptr)
            continue;
        char line[256];
        long count = 0;
        while (std::fgets(line, sizeof line, in) != nullptr) {
            const char* colon = std::strchr(line, ':');
            if (std::strstr(line, "Overruns") != nullptr && colon != nullptr)
                count += std::strtol(colon + 1, nullptr, 10);
        }
        std::fclose(in);
        if (count > 0)
            where = file;
        total += count;
    }
    return total;
}

#include "InputGuard.h"

#include "OutputFile.h"
#include "PrintableText.h"

#include <cstdio>

bool WouldReplaceAnInput(const std::vector<WaveFile>& files, const std::vector<std::string>& inputs)
{
    for (const WaveFile& file : files)
        for (const std::string& input : inputs)
            if (IsSameFile(input, file.path)) {
                std::fprintf(stderr, "qwdump: %s: the output would replace the input file; nothing written\n",
                             EscapeControlCharacters(file.path).c_str());
                return true;
            }
    return false;
}

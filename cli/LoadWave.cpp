#include "LoadWave.h"

#include "Engine.h"
#include "FitWave.h"

#include <algorithm>
#include <cstdio>

void AddFitOption(CLI::App& command, std::string& method)
{
    command.add_option("--fit", method, "Read any audio file and fit it: harmonic or nearest (see 'qwdump fit')")
        ->check(CLI::IsMember(kFitMethods));
}

bool LoadWaveOrReport(const std::string& path, const std::string& fitMethod)
{
    if (!fitMethod.empty()) {
        FittedWave wave;
        if (!FitWaveOrReport(path, {kFitMethods.at(fitMethod), false}, wave))
            return false;
        std::copy(std::begin(wave.samples), std::end(wave.samples), s_Engine.m_anWave);
        s_Engine.m_bLoaded = 1;
        s_Engine.m_bResampled = wave.sourceFrames != 128;
        s_Engine.m_pszError = "";
        return true;
    }
    if (s_Engine.LoadWaveFile(path.c_str()))
        return true;
    std::fprintf(stderr, "%s\n", s_Engine.m_pszError);
    return false;
}

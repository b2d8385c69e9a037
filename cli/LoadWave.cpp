#include "LoadWave.h"

#include "Engine.h"

#include <cstdio>

bool LoadWaveOrReport(const std::string& path)
{
    if (s_Engine.LoadWaveFile(path.c_str()))
        return true;
    std::fprintf(stderr, "%s\n", s_Engine.m_pszError);
    return false;
}

#include "SystemLog.h"

#include <cstdarg>
#include <cstdio>

#include <syslog.h>

void LogLine(const char* format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fprintf(stderr, "%s\n", line);
    ::syslog(LOG_USER | LOG_NOTICE, "%s", line);
}

#include "SystemLog.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>

#include <syslog.h>

namespace {

void Write(const char* prefix, const char* format, va_list args)
{
    char line[512];
    std::vsnprintf(line, sizeof line, format, args);
    std::fprintf(stderr, "%s%s\n", prefix, line);
    ::syslog(LOG_USER | LOG_NOTICE, "%s", line);
}

}  // namespace

void LogLine(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Write("", format, args);
    va_end(args);
}

void ReportProblem(const char* format, ...)
{
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "%s: ", program_invocation_short_name);
    va_list args;
    va_start(args, format);
    Write(prefix, format, args);
    va_end(args);
}

#include "SystemLog.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>

#include <syslog.h>

namespace {

std::atomic<bool> g_logToStderr{true};

void Write(const char* prefix, bool toStderr, const char* format, va_list args)
{
    char line[512];
    std::vsnprintf(line, sizeof line, format, args);
    if (toStderr)
        std::fprintf(stderr, "%s%s\n", prefix, line);
    ::syslog(LOG_USER | LOG_NOTICE, "%s", line);
}

}  // namespace

void SetLogToStderr(bool enabled)
{
    g_logToStderr.store(enabled, std::memory_order_relaxed);
}

void LogLine(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Write("", g_logToStderr.load(std::memory_order_relaxed), format, args);
    va_end(args);
}

void ReportProblem(const char* format, ...)
{
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "%s: ", program_invocation_short_name);
    va_list args;
    va_start(args, format);
    Write(prefix, true, format, args);
    va_end(args);
}

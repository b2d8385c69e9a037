#include "SystemLog.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include <syslog.h>

namespace {

std::atomic<bool> g_logToStderr{true};

}  // namespace

void SetLogToStderr(bool enabled)
{
    g_logToStderr.store(enabled, std::memory_order_relaxed);
}

void LogLine(const char* format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (g_logToStderr.load(std::memory_order_relaxed))
        std::fprintf(stderr, "%s\n", line);
    ::syslog(LOG_USER | LOG_NOTICE, "%s", line);
}

// Diagnostic lines: one line to standard error and the same to syslog.
#pragma once

#if defined(__GNUC__)
#define QWD_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
#define QWD_PRINTF_FORMAT(f, a)
#endif

void LogLine(const char* format, ...) QWD_PRINTF_FORMAT(1, 2);

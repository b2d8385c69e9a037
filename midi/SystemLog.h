// Diagnostic lines: one line to standard error and the same to syslog.
#pragma once

#if defined(__GNUC__)
#define QWD_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
#define QWD_PRINTF_FORMAT(f, a)
#endif

void LogLine(const char* format, ...) QWD_PRINTF_FORMAT(1, 2);

// A problem the user should hear of even when nothing failed outright (a
// MIDI system that doesn't answer): "<program>: <line>" to standard error,
// and the line to syslog.
void ReportProblem(const char* format, ...) QWD_PRINTF_FORMAT(1, 2);

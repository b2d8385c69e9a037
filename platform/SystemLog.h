// Diagnostic lines: one line to syslog and, unless turned off, the same to
// standard error.
#pragma once

#if defined(__GNUC__)
#define QWD_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
#define QWD_PRINTF_FORMAT(f, a)
#endif

void LogLine(const char* format, ...) QWD_PRINTF_FORMAT(1, 2);

// Whether LogLine also writes to standard error (it does until told not to).
// qwdump keeps its terminal quiet unless asked to be verbose.
void SetLogToStderr(bool enabled);

// A problem the user should hear of even when nothing failed outright (a
// MIDI system that doesn't answer): "<program>: <line>" to standard error,
// and the line to syslog.
void ReportProblem(const char* format, ...) QWD_PRINTF_FORMAT(1, 2);

// qwdump's standard output: every write checked, so that output lost to a
// full disk, /dev/full or a closed descriptor never ends in success.
#pragma once

#include "SyxFile.h"

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that
// no file opened later takes their place. It is opened for the direction the
// descriptor is not used in, so writing to a closed stdout still fails.
void OccupyClosedStandardDescriptors();

// printf to stdout, remembering the first failure.
void Print(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Flushes stdout. When that or an earlier Print failed, writes the reason to
// stderr and returns kExitFileError; otherwise returns `status`.
int FinishStandardOutput(int status);

// A message as one line of hex on stdout.
void PrintHexLine(const SysexMessage& message);

// WriteSyxFile; on failure says why on stderr and returns false.
bool WriteSyxFileOrReport(const std::string& path, const std::vector<SysexMessage>& messages, int signalsAnswered = 0);

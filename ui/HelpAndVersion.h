// quarven-wave-dump --help and --version: answered before Qt starts, so
// they work without a display (help2man reads them at build time).
#pragma once

// When an argument asks for the usage or the version, prints it and returns
// the exit status (0, or 1 when standard output could not take it); -1
// otherwise.
int AnswerHelpOrVersion(int argc, char* argv[]);

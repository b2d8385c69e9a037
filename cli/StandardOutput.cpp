#include "StandardOutput.h"

#include "ExitStatus.h"
#include "PrintableText.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <fcntl.h>

namespace {

int g_firstError = 0;  // errno of the first failed write to stdout

void NoteFailure()
{
    if (g_firstError == 0)
        g_firstError = errno != 0 ? errno : EIO;
}

}  // namespace

void OccupyClosedStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free descriptor: `fd` itself, as the lower ones are open.
        ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
    }
}

void Print(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    errno = 0;
    if (std::vfprintf(stdout, format, args) < 0)
        NoteFailure();
    va_end(args);
}

int FinishStandardOutput(int status)
{
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        NoteFailure();
    if (g_firstError == 0)
        return status;
    std::fprintf(stderr, "qwdump: write error on standard output: %s\n", std::strerror(g_firstError));
    return kExitFileError;
}

void PrintHexLine(const SysexMessage& message)
{
    Print("%s\n", HexLine(message).c_str());
}

bool WriteSyxFileOrReport(const std::string& path, const std::vector<SysexMessage>& messages, int signalsAnswered)
{
    std::string error;
    if (WriteSyxFile(path, messages, error, signalsAnswered))
        return true;
    std::fprintf(stderr, "qwdump: cannot write %s: %s\n", EscapeControlCharacters(path).c_str(),
                 EscapeControlCharacters(error).c_str());
    return false;
}

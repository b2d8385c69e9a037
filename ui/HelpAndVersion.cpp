#include "HelpAndVersion.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kUsage[] = "Usage: quarven-wave-dump [OPTION]... [FILE]\n"
                          "Send a 128-sample wave from a WAV file to a synthesizer as a MIDI wave dump.\n"
                          "\n"
                          "Opens the window. Drop a mono 16-bit PCM WAV file onto it, or choose one\n"
                          "with File > Open... (Ctrl+O); its 128 samples are drawn as bars, with a small\n"
                          "red mark when the wave was fitted from another length. Pick the MIDI port\n"
                          "and the wave number (97 to 128), then press Send. Reload reads the file\n"
                          "again from disk. Wave > Send To lists the MIDI destinations afresh, for a\n"
                          "synth plugged in after the window opened. The status line says what each\n"
                          "action came to.\n"
                          "\n"
                          "Drag over the wave with the left button to draw it (Shift: a straight\n"
                          "line); the Shape menu, Wave > Harmonics (Ctrl+H) and Bank > Fill Between\n"
                          "change waves, each change one step of Edit > Undo (Ctrl+Z). Send and Play\n"
                          "use the edited wave; Wave > Save Wave As... (Ctrl+Shift+W) writes it.\n"
                          "\n"
                          "With FILE, the window opens it as a drop of it would, once it is shown\n"
                          "(a file manager's Open With names one); only the first FILE is taken.\n"
                          "A .syx FILE opens as a bank, in the bank panel below the wave.\n"
                          "\n"
                          "Bank > New Bank (Ctrl+N) starts an empty bank; Bank > Save Bank (Ctrl+S)\n"
                          "writes it to its own file, named in the title. Edit > Cut, Copy and Paste\n"
                          "(Ctrl+X, Ctrl+C, Ctrl+V) and Delete act on the selected slots; slots\n"
                          "dragged within the panel move (with Ctrl, copy), and dragged out to a\n"
                          "file manager become wave-NNN.wav files."
                          "\n"
                          "Options:\n"
                          "  -h, --help     print this help and exit\n"
                          "      --version  print the version and exit\n"
                          "\n"
                          "Qt's standard options, such as -platform and -display, are also taken.\n"
                          "Without a display the program says so in one line and exits with status 1.\n";

int Print(const char* text)
{
    if (std::fputs(text, stdout) < 0 || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "quarven-wave-dump: can't write to standard output: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}

}  // namespace

int AnswerHelpOrVersion(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return Print(kUsage);
        if (std::strcmp(argv[i], "--version") == 0)
            return Print("quarven-wave-dump " QWD_VERSION "\n");
    }
    return -1;
}

// The built qwdump: exit statuses, output, the files it writes and, with a
// private JACK server and jack_midi_dump, what arrives.

#include "JackRig.h"
#include "KeyboardRig.h"
#include "LoadMessages.h"
#include "MidiRig.h"
#include "WavBytes.h"
#include "WaveDump.h"
#include "WaveMorph.h"
#include "Wavetables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sstream>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

using namespace std::chrono_literals;
using Args = std::vector<std::string>;

const std::string kMonitor = "input (midi-monitor)";
const std::string kSquare = std::string(EXAMPLES_DIR) + "/square.wav";
const std::string kSaw = std::string(EXAMPLES_DIR) + "/saw-1000.wav";

// qwdump with `args`, started by the bash `script` ("$@" is qwdump and args).
ProcessResult Qwdump(Args args, const std::string& script = "exec \"$@\"")
{
    args.insert(args.begin(), {"/bin/bash", "-c", script, "bash", QWDUMP_PATH});
    return RunProcess(args);
}

// The wave of a WAV file as the window loads it.
Wave16 Loaded(const std::string& path)
{
    CEngine engine;
    Wave16 wave{};
    if (engine.LoadWaveFile(path.c_str()))
        std::copy(std::begin(engine.m_anWave), std::end(engine.m_anWave), wave.begin());
    return wave;
}

std::string Text(const std::vector<std::uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

class QwdumpTest : public ::testing::Test
{
protected:
    // No sound card here, and no JACK server of that name: no destinations.
    void SetUp() override { UseJackServer(UniqueJackServerName()); }

    TempDir dir;
};

TEST_F(QwdumpTest, SaysHowAFileWasReadAndWhatWentWrong)
{
    EXPECT_EQ(Qwdump({"show", kSaw}).out.rfind(kSaw + ": fitted to 128 samples by nearest-sample picking\n", 0), 0u);
    // No destinations is no error, and without a JACK server libjack is
    // never asked (it would set up its database); a missing one is.
    const std::string jackDatabase = "/dev/shm/jack_db-" + std::to_string(::getuid());
    const bool jackDatabaseThere = std::filesystem::exists(jackDatabase);  // the machine's, outside the wrapper
    EXPECT_EQ(Qwdump({"ports"}), (ProcessResult{0, "", ""}));
    EXPECT_EQ(std::filesystem::exists(jackDatabase), jackDatabaseThere);
    EXPECT_EQ(
        Qwdump({"send", kSquare, "--port", kMonitor, "--wave", "100"}),
        (ProcessResult{3, "",
                       "The MIDI port you've selected is no longer available.Please select another.\n"
                       "qwdump: no MIDI destination titled 'input (midi-monitor)'; 'qwdump ports' lists them\n"}));
    // Declaring 24-bit samples changes nothing but a notice.
    std::string bytes = ReadWholeFile(kSquare);
    bytes[34] = 24;  // bits per sample
    const std::string bits24 = dir.Write("24.wav", bytes);
    EXPECT_EQ(Qwdump({"pack", bits24, "--wave", "97"}),
              (ProcessResult{0, Qwdump({"pack", kSquare, "--wave", "97"}).out,
                             "qwdump: " + bits24 +
                                 ": declares 24-bit samples; its bytes are read as 16-bit pairs "
                                 "(qwdump fit converts it)\n"}));

    // Audio the loader does not take is pointed to the fit, beside the loader's words.
    const std::string fitIt = " (qwdump fit reads audio files other than mono 16-bit PCM WAV, as pack, send and "
                              "play do with --fit harmonic)\n";
    const std::string stereo = dir.Write("stereo.wav", WavBytes::Riff().Format(1, 2).Chunk("data", "ab").str());
    const std::string flac = dir.Write("x.flac", std::string("fLaC\0\0\0\x22", 8)), text = dir.Write("x.txt", "x\n");
    for (const auto& [args, err] : std::vector<std::pair<Args, std::string>>{
             {{"pack", stereo, "--wave", "100"}, stereo + ": " + LoadMessages::kNotMonoPcm + fitIt},
             {{"show", flac}, flac + ": " + LoadMessages::kNotWav + fitIt},
             {{"show", text}, text + ": " + LoadMessages::kNotWav + "\n"}})
        EXPECT_EQ(Qwdump(args), (ProcessResult{1, "", "qwdump: " + err}));
    // .syx files alone need no --wave; one given is said to be unused.
    const std::string bank = dir.File("bank.syx"), hex = Qwdump({"pack", kSquare, "-w", "100"}).out;
    ASSERT_EQ(Qwdump({"pack", kSquare, "-w", "100", "-o", bank}).exitStatus, 0);
    EXPECT_EQ(Qwdump({"pack", bank}), (ProcessResult{0, hex, ""}));
    EXPECT_EQ(Qwdump({"pack", bank, "-w", "97"}),
              (ProcessResult{0, hex, "qwdump: --wave 97 is not used: .syx messages keep their own wave numbers\n"}));
    const std::string missing = dir.File("missing.wav");
    const std::string err = "qwdump: " + missing + ": " + LoadMessages::kOpenFailed + " (No such file or directory)\n";
    for (const Args& args : {Args{"show", missing}, Args{"send", missing, "--port", kMonitor, "--wave", "100"}})
        EXPECT_EQ(Qwdump(args), (ProcessResult{1, "", err})) << args[0];
}

TEST_F(QwdumpTest, UsageErrorsExitTwoWithOneLine)
{
    for (const Args& args : std::vector<Args>{{},
                                              {"pack", kSquare},
                                              {"pack", kSquare, "--wave", "100", "-o", ""},
                                              {"pack", kSquare, kSaw, "--wave", "128"},
                                              {"send", kSquare, "--port", kMonitor},
                                              {"send", kSquare, "--port", kMonitor, "--wave", "97", "--gap", "10001"},
                                              {"fit", kSaw, "-o", dir.File("x.wav"), "--method", "cubic"},
                                              // No range lets NaN, infinity or a time of no frame through.
                                              {"play", kSquare, "--hz", "nan"},
                                              {"play", kSquare, "--seconds", "nan"},
                                              {"play", kSquare, "--seconds", "0.00001"},
                                              {"play", kSquare, "--gain", "-inf"},
                                              {"receive", "--port", "x", "--wait", "nan"},
                                              {"receive", "--port", "x", "--idle", "inf"},
                                              {"fit", kSaw, "-o", dir.File("x.wav"), "--frame-size", "1e3"},
                                              {"shape", kSaw, "-o", dir.File("x.wav"), "--smooth", "0"},
                                              {"morph", kSaw, kSquare, "-o", dir.File("x"), "--steps", "31"},
                                              {"unpack", kSquare, "-o", ""},
                                              {"--verbose=0", "ports"},
                                              {"shape", kSaw, "-o", dir.File("x.wav"), "--invert=junk"}}) {
        const ProcessResult r = Qwdump(args);
        EXPECT_EQ(r.exitStatus, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
        EXPECT_EQ(r.out, "");
    }
    // Each says in words what is allowed, whatever the length of the number.
    const std::string huge = "99999999999999999999999";
    for (const auto& [args, refusal] : std::vector<std::pair<Args, std::string>>{
             {{"play", kSquare, "--gain", "nan"}, "--gain: nan is not a number of dB from -96 to 0"},
             {{"receive", "--port", "x", "--count", "0"}, "--count: 0 is not a whole number of 1 or more"},
             // The keys give the pitch and the time.
             {{"play", kSquare, "--midi-in", "x", "--seconds", "1"}, "--seconds excludes --midi-in"},
             {{"play", kSquare, "--hz", "440", "--midi-in", "x"}, "--hz excludes --midi-in"},
             {{"play", kSquare, "--note", "H3"},
              "--note: H3 is not a note name: a letter from A to G, a sharp (#) or flat (b) if any, then the octave, "
              "from C-1 to G9: C3, F#2, Bb5 (A4 is 440 Hz)"},
             {{"fit", kSaw, "-o", "x.wav", "--frame-size", huge},
              "--frame-size: " + huge + " is not a whole number of samples from 2 to 16777216"},
             {{"fit", kSaw, "-o", "x.wav", "--frames", huge},
              "--frames: '" + huge + "' is not a frame number from 1 to 65536 or a range such as 9-12"},
             // A flag's value never turns it off: every flag refuses one.
             {{"shape", kSaw, "-o", "x.wav", "--normalize=false"}, "normalize was given a disallowed flag override"},
             {{"unpack", kSquare, "-o", "x", "--force=0"}, "force was given a disallowed flag override"},
             {{"bogus\n"},
              "unknown command 'bogus\\n'; the commands are pack, show, ports, send, fit, receive, unpack, play, "
              "shape, morph, compare"}})
        EXPECT_EQ(Qwdump(args), (ProcessResult{2, "", "qwdump: " + refusal + " (see qwdump --help)\n"}));
}

// Off a terminal (help2man, pipes) help wraps at 80 columns, the same each time.
TEST_F(QwdumpTest, HelpOfEveryCommandWrapsAtEightyColumnsOffATerminal)
{
    // The program's, then each command's that it lists.
    std::vector<std::string> commands = {""};
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const ProcessResult help = Qwdump(commands[i].empty() ? Args{"--help"} : Args{commands[i], "--help"});
        EXPECT_EQ(help.exitStatus, 0);
        std::istringstream lines(help.out);
        bool listed = false;
        for (std::string line; std::getline(lines, line);) {
            EXPECT_LE(line.size(), 80u) << commands[i] << ": " << line;
            listed = i == 0 && (listed || line == "Subcommands:");
            if (listed && line.rfind("  ", 0) == 0 && line[2] != ' ')
                commands.push_back(line.substr(2, line.find(' ', 2) - 2));
        }
    }
    EXPECT_EQ(commands.size(), 12u);
}

TEST_F(QwdumpTest, CompareHoldsTwoBanksOrABankAndItsWavesWaveByWave)
{
    const std::string a = dir.File("a.syx"), b = dir.File("b.syx"), c = dir.File("c.syx"), set = dir.File("set");
    ASSERT_EQ(Qwdump({"pack", kSquare, kSaw, kSquare, "--wave", "97", "-o", a}).exitStatus, 0);
    ASSERT_EQ(Qwdump({"pack", kSquare, kSquare, "--wave", "97", "-o", b}).exitStatus, 0);
    ASSERT_EQ(Qwdump({"pack", kSquare, "--wave", "100", "-o", c}).exitStatus, 0);
    ASSERT_EQ(Qwdump({"unpack", a, "-o", set}).exitStatus, 0);
    const std::string replaced = "qwdump: wave 97 is in " + a + " and again in " + b +
                                 "; the later copy replaces it\n"
                                 "qwdump: wave 98 is in " +
                                 a + " and again in " + b + "; the later copy replaces it\n";
    EXPECT_EQ(Qwdump({"unpack", a, c, b, "-o", dir.File("mixed")}).err, replaced);
    EXPECT_EQ(Loaded(dir.File("mixed/wave-098.wav")), Loaded(kSquare));
    // pack (and send) gather by the same rule: each wave once, the later copy.
    const std::string packed = dir.File("packed.syx");
    EXPECT_EQ(Qwdump({"pack", a, c, b, "-o", packed}).err, replaced);
    EXPECT_EQ(ReadWholeFile(packed), ReadWholeFile(a).substr(600) + ReadWholeFile(c) + ReadWholeFile(b));
    const std::string empty = dir.Write("empty.syx", "");
    // A wave twice: the later copy replaces the earlier, named, everywhere.
    const std::string twice = dir.Write("twice.syx", Text(Message(kSaw, 97)) + ReadWholeFile(b));
    const std::string again =
        "qwdump: " + twice + ": wave 97 is in it again further on; the later copy replaces this one\n";
    const struct
    {
        std::string reference, other;
        ProcessResult said;
    } cases[] = {
        {a, set, {0, "3 of 3 waves in " + set + " match " + a + "\n", ""}},
        {a,
         b,
         {1, "1 of 3 waves in " + b + " match " + a + "; wave 98 differs; wave 99 is missing from " + b + "\n", ""}},
        {c,
         a,
         {1,
          "0 of 4 waves in " + a + " match " + c + "; wave 100 is missing from " + a +
              "; waves 97, 98 and 99 are not in " + c + "\n",
          ""}},
        {a, dir.File("none.syx"), {2, "", "qwdump: " + dir.File("none.syx") + ": No such file or directory\n"}},
        // A name prints on one line, whatever it holds.
        {a,
         dir.File("new\nline.syx"),
         {2, "", "qwdump: " + dir.File("new\\nline.syx") + ": No such file or directory\n"}},
        {dir.Write("one\nbank.syx", ReadWholeFile(a)),
         set,
         {0, "3 of 3 waves in " + set + " match " + dir.File("one\\nbank.syx") + "\n", ""}},
        {empty, empty, {1, "", "qwdump: " + empty + ": holds no wave dump message\n"}},
        {twice, b, {0, "2 of 2 waves in " + b + " match " + twice + "\n", again}},
        {a, dir.path(), {1, "", "qwdump: " + dir.path() + ": holds no wave-NNN.wav file\n"}},
    };
    for (const auto& [reference, other, said] : cases)
        EXPECT_EQ(Qwdump({"compare", reference, other}), said) << other;
}

TEST_F(QwdumpTest, UnpackWritesTheWholeSetOrNothingAndFindingNothingIsAFailure)
{
    const std::string bank = dir.File("bank.syx"), set = dir.File("set");
    ASSERT_EQ(Qwdump({"pack", kSquare, kSaw, kSquare, "--wave", "97", "-o", bank}).exitStatus, 0);
    const std::string blocker = set + "/wave-098.wav", kept = set + "/wave-099.wav";
    const auto files = [&] { return std::distance(std::filesystem::directory_iterator(set), {}); };
    // A file of the set in the way (a link to itself, a folder): nothing
    // replaced, nothing left half done, no temporary file, no abort.
    for (const bool folder : {false, true}) {
        for (const bool force : {false, true}) {
            std::filesystem::remove_all(set);
            std::filesystem::create_directory(set);
            dir.Write("set/wave-099.wav", "old");
            if (folder)
                std::filesystem::create_directory(blocker);
            else
                std::filesystem::create_symlink("wave-098.wav", blocker);
            const std::string why =
                !force   ? "qwdump: " + blocker + " exists; nothing written (--force replaces it)"
                : folder ? "qwdump: cannot write " + blocker + ": can't write to it: Is a directory; nothing written"
                         : "qwdump: cannot write " + blocker +
                               ": can't follow the symbolic link: Too "
                               "many levels of symbolic links; nothing written";
            Args args = {"unpack", bank, "-o", set};
            if (force)
                args.push_back("--force");
            EXPECT_EQ(Qwdump(args), (ProcessResult{1, "", why + "\n"})) << folder << force;
            EXPECT_EQ(ReadWholeFile(kept), "old");
            EXPECT_EQ(files(), 2);
        }
    }
    // Replaced whole, the old file gone; pack takes each back as it was.
    std::filesystem::remove_all(blocker);
    EXPECT_EQ(Qwdump({"unpack", bank, "-o", set, "--force"}).exitStatus, 0);
    EXPECT_EQ(files(), 3);
    EXPECT_EQ(Message(kept, 99), Message(kSquare, 99));
    EXPECT_EQ(Message(blocker, 98), Message(kSaw, 98));

    const std::string other = dir.Write("other.syx", "\xF0\x7E\x7F\x06\x01\xF7"), empty = dir.Write("empty.syx", "");
    for (const std::string& syx : {empty, other}) {
        const ProcessResult r = Qwdump({"unpack", syx, "-o", dir.File("none/")});
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_NE(r.err.find("qwdump: no wave dump message in " + syx + "; nothing written\n"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(dir.File("none")));
    }
    EXPECT_EQ(Qwdump({"show", other}).exitStatus, 1);
}

TEST_F(QwdumpTest, NoFailureLosesAFileOrEndsInSuccess)
{
    const std::string keep = dir.Write("keep.syx", "keep");
    const std::string link = dir.File("link.syx");
    std::filesystem::create_symlink(keep, link);
    // Past a file-size limit (which also costs stderr its text) the old file
    // and the link stay, and no temporary file is left.
    for (const std::string& out : {keep, link})
        EXPECT_EQ(Qwdump({"pack", kSquare, "--wave", "97", "-o", out}, "ulimit -f 0; exec \"$@\"").exitStatus, 1);
    EXPECT_EQ(ReadWholeFile(keep), "keep");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
    EXPECT_EQ(Qwdump({"pack", kSquare, "--wave", "97", "-o", link}).exitStatus, 0);
    EXPECT_EQ(ReadWholeFile(keep), Text(Message(kSquare, 97)));
    EXPECT_TRUE(std::filesystem::is_symlink(link));

    // A device node is written in place and stays: one of the test's own, or
    // for a user who can't make one, /dev/full, which they can't replace.
    std::string full = dir.File("full");
    if (::mknod(full.c_str(), S_IFCHR | 0666, ::makedev(1, 7)) != 0) {  // /dev/full's numbers
        const int error = errno;
        ASSERT_NE(::access("/dev", W_OK), 0) << "mknod: " << std::strerror(error);
        full = "/dev/full";
    }
    EXPECT_EQ(
        Qwdump({"pack", kSquare, "--wave", "97", "-o", full}),
        (ProcessResult{1, "", "qwdump: cannot write " + full + ": can't write to it: No space left on device\n"}));
    EXPECT_TRUE(std::filesystem::is_character_file(full));

    // receive finds out before it listens; unpack and show skip a message
    // that is not a wave dump (as receive --all keeps one), naming it.
    const std::string nowhere = dir.File("none/backup.syx");
    EXPECT_EQ(Qwdump({"receive", "--port", "synth:out", "-o", nowhere}),
              (ProcessResult{1, "",
                             "qwdump: cannot write " + nowhere +
                                 ": can't create a temporary file beside it: No such file or directory\n"}));
    const std::string longer = Text(Message(kSaw, 98)).insert(299, 1, '\0');
    const std::string all = dir.Write("all.syx", Text(Message(kSquare, 97)) + longer + Text(Message(kSaw, 99)));
    const std::string skipped =
        "qwdump: " + all +
        ": byte 300: skipped a 301-byte System Exclusive message that is not "
        "a well-formed wave dump (byte 599: 00 where a 300-byte wave dump message ends with F7)\n";
    EXPECT_EQ(Qwdump({"unpack", all, "-o", dir.File("waves")}).err, skipped);
    EXPECT_TRUE(std::filesystem::exists(dir.File("waves/wave-099.wav")));
    EXPECT_EQ(Qwdump({"show", all}).err, skipped);
    EXPECT_EQ(Qwdump({"send", all, "--port", kMonitor}).exitStatus, 1);

    // No output replaces an input, --force or a link to it included.
    const std::string wav = dir.Write("wave.wav", ReadWholeFile(kSquare));
    std::filesystem::create_directory(dir.File("set"));
    const std::string step = dir.Write("set/morph-001.wav", ReadWholeFile(kSquare)),
                      dumped = dir.File("set/wave-097.wav");
    std::filesystem::create_symlink(keep, dumped);
    for (const auto& [args, target] : std::vector<std::pair<Args, std::string>>{
             {{"pack", wav, "--wave", "97", "-o", wav}, wav},
             {{"fit", wav, "-o", dir.path() + "/./wave.wav"}, dir.path() + "/./wave.wav"},
             {{"morph", step, kSaw, "--steps", "2", "-o", dir.File("set"), "--force"}, step},
             {{"unpack", keep, "-o", dir.File("set"), "--force"}, dumped}})
        EXPECT_EQ(Qwdump(args),
                  (ProcessResult{
                      2, "", "qwdump: " + target + ": the output would replace the input file; nothing written\n"}));
    EXPECT_EQ(ReadWholeFile(wav), ReadWholeFile(kSquare));
    EXPECT_EQ(ReadWholeFile(step), ReadWholeFile(kSquare));
    EXPECT_EQ(ReadWholeFile(keep), Text(Message(kSquare, 97)));

    for (const auto& [redirection, reason] :
         {std::pair{">/dev/full", "No space left on device"}, {">&-", "Bad file descriptor"}})
        for (const Args& args : {Args{"pack", kSquare, "--wave", "97"}, Args{"show", kSquare},
                                 Args{"fit", kSquare, "-o", dir.File("fit.wav")}})
            EXPECT_EQ(Qwdump(args, std::string("exec \"$@\" ") + redirection),
                      (ProcessResult{1, "", "qwdump: write error on standard output: " + std::string(reason) + "\n"}))
                << redirection << ' ' << args[0];

    // Wave numbers are decimal whole numbers, leading zeros allowed.
    EXPECT_EQ(Qwdump({"pack", kSquare, "--wave", "0100", "-o", keep}).exitStatus, 0);
    EXPECT_EQ(ReadWholeFile(keep), Text(Message(kSquare, 100)));
    for (const std::string refusal :
         {"0141 is outside 97\u2013128", "129 is outside 97\u2013128", "0x61 is not a whole number",
          "1e2 is not a whole number", "97abc is not a whole number"})
        EXPECT_EQ(Qwdump({"pack", kSquare, "--wave", refusal.substr(0, refusal.find(' '))}),
                  (ProcessResult{2, "", "qwdump: --wave: " + refusal + " (see qwdump --help)\n"}));
}

TEST_F(QwdumpTest, FitWritesAWaveTheLoaderTakesAsIsAndSendCanFitInMemory)
{
    const std::string fitted = dir.File("fitted.wav");
    EXPECT_EQ(Qwdump({"fit", kSaw, "-o", fitted, "--method", "nearest"}).exitStatus, 0);
    EXPECT_EQ(Message(fitted, 97), Message(kSaw, 97)) << "the very samples the loader picks";
    EXPECT_EQ(Qwdump({"fit", kSaw, "-o", fitted}),
              (ProcessResult{0,
                             "harmonic: 1000 frames, PCM_16, 1 channel; energy above harmonic 63: -94.9 dB; "
                             "nearest vs harmonic: -48.5 dB\n",
                             ""}));
    // A stereo square the loader refuses loads fitted, and the send looks for
    // its port. Band-limited, it overshoots: it is scaled down, never wrapped.
    std::vector<std::int16_t> square(1200, 30000);
    std::fill(square.begin() + 600, square.end(), -30000);
    const std::string loud =
        dir.Write("square.wav", WavBytes::Riff().Format(1, 2).Chunk("data", SampleBytes(square)).str());
    EXPECT_EQ(Qwdump({"send", loud, "--port", kMonitor, "--wave", "100", "--fit", "harmonic"}).exitStatus, 3);
    EXPECT_EQ(Qwdump({"fit", loud, "-o", fitted}).err,
              "qwdump: " + loud + ": scaled down by 0.6 dB to fit the 16-bit range\n");
    EXPECT_NE(Qwdump({"show", fitted}).out.find(" 32767"), std::string::npos);
    // --normalize brings any peak to full scale.
    EXPECT_EQ(Qwdump({"fit", kSaw, "-o", fitted, "--normalize"}).exitStatus, 0);
    EXPECT_NE(Qwdump({"show", fitted}).out.find("32767"), std::string::npos);

    // Ctrl-C ends a long fit (512 MiB of silence, seconds of work) at once:
    // 130, and nothing written.
    const std::string huge = dir.Write("huge.wav", WavBytes::Riff().Format().Header("data", 1u << 29).str());
    ASSERT_EQ(::truncate(huge.c_str(), 44 + (1 << 29)), 0);
    BackgroundProcess fit({QWDUMP_PATH, "fit", huge, "--frame-size", "8192", "-o", dir.File("huge/")});
    ASSERT_TRUE(WaitUntil(
        [&] {
            return ReadWholeFile("/proc/" + std::to_string(fit.pid()) + "/maps").find("qwd-wave-fit") !=
                   std::string::npos;
        },
        5s));
    const auto signalled = std::chrono::steady_clock::now();
    fit.Signal(SIGINT);
    EXPECT_EQ(WEXITSTATUS(fit.Wait()), 130);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, 1s);
    EXPECT_FALSE(std::filesystem::exists(dir.File("huge")));
}

// The fit module and qwdump each carry their own C++ runtime: what one side
// allocates, it frees, for a plain WAV file, libsndfile's module (mu-law)
// and FFTW's (a long table).
TEST_F(QwdumpTest, FitUnderValgrindFreesWhatEachSideAllocated)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "valgrind can't run a program built with AddressSanitizer";
#endif
    if (!std::filesystem::exists("/usr/bin/valgrind"))
        GTEST_SKIP() << "no valgrind";
    const std::string muLaw =
        dir.Write("mu-law.wav", WavBytes::Riff()
                                    .Chunk("fmt ", WavBytes().U16(7).U16(1).U32(8000).U32(8000).U16(1).U16(8).str())
                                    .Chunk("data", std::string(600, '\x35'))
                                    .str());
    const std::string table = dir.Write("table.wav", WavetableBytes(256, 2048, "clm "));
    for (const Args& out : {Args{kSaw, "-o", dir.File("a.wav")}, Args{muLaw, "-o", dir.File("b.wav")},
                            Args{table, "--wave", "97", "-o", dir.File("c.syx")}}) {
        Args args = {
            "/usr/bin/valgrind", "-q", "--leak-check=full", "--errors-for-leak-kinds=definite", "--error-exitcode=99",
            QWDUMP_PATH,         "fit"};
        args.insert(args.end(), out.begin(), out.end());
        const ProcessResult r = RunProcess(args);
        EXPECT_EQ(r.exitStatus, 0) << out[0] << ": " << r.err;
    }
}

TEST_F(QwdumpTest, EachTakenFrameOfAWavetableIsFittedIntoItsOwnSlot)
{
    // Slot s of the bank `syx` holds frame frames[s], at wave 97 + s.
    const auto expectBank = [](const std::string& syx, const std::vector<int>& frames) {
        const std::string bytes = ReadWholeFile(syx);
        ASSERT_EQ(bytes.size(), WaveDump::kBytes * frames.size()) << syx;
        for (std::size_t s = 0; s < frames.size(); ++s) {
            const auto* message = reinterpret_cast<const std::uint8_t*>(bytes.data()) + WaveDump::kBytes * s;
            std::int16_t wave[128];
            WaveDump::Unpack(message, wave);
            EXPECT_EQ(WaveDump::WaveNumberOf(message), 97 + static_cast<int>(s));
            EXPECT_LE(DistanceFromFrame(wave, frames[s]), 1) << syx << " slot " << s;
        }
    };
    const auto spread = [](int frames) {
        std::vector<int> taken;
        for (int i = 0; i < 32; ++i)
            taken.push_back(static_cast<int>(std::lround(i * (frames - 1) / 31.0)));
        return taken;
    };
    const std::string four = dir.File("4.wav");
    for (const std::string chunk : {"clm ", "srge", "uhWT"}) {
        dir.Write("4.wav", WavetableBytes(4, 2048, chunk));
        EXPECT_EQ(Qwdump({"fit", four, "--wave", "97", "-o", dir.File("4.syx")}).exitStatus, 0) << chunk;
        expectBank(dir.File("4.syx"), {0, 1, 2, 3});
    }
    // Without a chunk, only --frame-size splits it: send takes pack's path.
    const std::string untagged = dir.Write("64.wav", WavetableBytes(64, 256, ""));
    EXPECT_EQ(Qwdump({"pack", untagged, "--fit", "harmonic", "--frame-size", "256", "--wave", "97", "-o",
                      dir.File("64.syx")}),
              (ProcessResult{0, "", ""}));
    expectBank(dir.File("64.syx"), spread(64));
    // An untagged table of usual frames is fitted as one cycle, with its frame size proposed.
    const std::string morph = dir.Write("morph.wav", WavBytes::Mono(SampleBytes(MorphingTable(8, 2048))).str());
    const ProcessResult proposed = Qwdump({"fit", morph, "-o", dir.File("morph-128.wav")});
    EXPECT_EQ(proposed.exitStatus, 0);
    EXPECT_EQ(proposed.err, "qwdump: " + morph + ": this looks like 8 cycles of 2048 frames; try --frame-size 2048\n");
    // A folder gets files named by frame number, each loaded as is, and
    // never has one replaced.
    const std::string hundred = dir.Write("100.wav", WavetableBytes(100, 1000, "uhWT"));
    EXPECT_EQ(Qwdump({"fit", hundred, "-o", dir.File("frames/")}).exitStatus, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("frames")), {}), 32);
    for (const int frame : spread(100)) {
        char name[32];
        std::snprintf(name, sizeof name, "frames/frame-%03d.wav", frame + 1);
        CEngine engine;
        ASSERT_TRUE(engine.LoadWaveFile(dir.File(name).c_str())) << name;
        EXPECT_EQ(engine.m_bResampled, 0);
        EXPECT_LE(DistanceFromFrame(engine.m_anWave, frame), 1) << name;
    }
    EXPECT_EQ(Qwdump({"fit", hundred, "-o", dir.File("frames")}).exitStatus, 1);

    EXPECT_EQ(Qwdump({"fit", untagged, "--frame-size", "300", "-o", dir.File("x.wav")}),
              (ProcessResult{1, "",
                             "qwdump: " + untagged +
                                 ": its 16384 samples don't split into frames of 300 (the "
                                 "frame size asked for): 184 left over\n"}));
    // A clm chunk's size in as many digits as it takes; one unreadable is refused.
    for (const int size : {10000, 65535}) {
        const std::string table = dir.Write("long.wav", WavetableBytes(2, size, "clm "));
        EXPECT_NE(Qwdump({"fit", table, "--wave", "97", "-o", dir.File("long.syx")})
                      .out.find("2 frames of " + std::to_string(size) + " samples (clm chunk)"),
                  std::string::npos);
        expectBank(dir.File("long.syx"), {0, 1});
    }
    const std::string bad =
        dir.Write("bad.wav", WavBytes::Riff().Format().Chunk("clm ", "<!>20x8 0").Chunk("data", "ab").str());
    EXPECT_EQ(
        Qwdump({"fit", bad, "-o", dir.File("x.wav")}),
        (ProcessResult{1, "", "qwdump: " + bad + ": its clm chunk's frame size after <!> is not a whole number\n"}));
    EXPECT_EQ(Qwdump({"fit", four, "--wave", "126", "-o", dir.File("late.syx")}),
              (ProcessResult{2, "", "qwdump: 4 waves from wave 126 would end at wave 129, past 128; nothing done\n"}));
    EXPECT_FALSE(std::filesystem::exists(dir.File("late.syx")));
}

TEST_F(QwdumpTest, ShapeTakesItsStepsInTheOrderGivenAndNeverReplacesItsInput)
{
    const std::string out = dir.File("out.wav");
    const std::vector<std::pair<Args, std::function<void(Wave16&)>>> steps = {
        {{"--smooth", "2"}, [](Wave16& w) { Smooth(w, 2); }},
        {{"--reverse"}, Reverse},
        {{"--shift-right", "5"}, [](Wave16& w) { Shift(w, 5); }},
        {{"--invert"}, Invert},
        {{"--remove-dc"}, [](Wave16& w) { RemoveDc(w); }},
        {{"--shift-left", "1"}, [](Wave16& w) { Shift(w, -1); }},
        {{"--normalize"}, Normalize},
        {{"--smooth", "1"}, [](Wave16& w) { Smooth(w, 1); }},
    };
    std::vector<Wave16> shaped;
    for (const bool backwards : {false, true}) {
        Args args = {"shape", kSaw, "-o", out};
        Wave16 expected = Loaded(kSaw);
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const auto& [options, shape] = steps[backwards ? steps.size() - 1 - i : i];
            args.insert(args.end(), options.begin(), options.end());
            shape(expected);
        }
        EXPECT_EQ(Qwdump(args).exitStatus, 0);
        EXPECT_EQ(ReadWholeFile(out).size(), 44u + 256u) << "128 samples, taken as is";
        shaped.push_back(Loaded(out));
        EXPECT_EQ(shaped.back(), expected) << backwards;
    }
    EXPECT_NE(shaped[0], shaped[1]);

    // Lopsided, it is scaled down once the mean is gone, and says so.
    std::vector<std::int16_t> lopsided(128, -32768);
    lopsided[0] = 32767;
    const std::string loud = dir.Write("loud.wav", WavBytes::Mono(SampleBytes(lopsided)).str());
    EXPECT_EQ(Qwdump({"shape", loud, "-o", out, "--remove-dc"}),
              (ProcessResult{0, "",
                             "qwdump: " + loud +
                                 ": scaled down by 6 dB after --remove-dc to fit the 16-bit "
                                 "range\n"}));
    EXPECT_EQ(Qwdump({"shape", loud, "-o", dir.path() + "/./loud.wav", "--invert"}),
              (ProcessResult{2, "",
                             "qwdump: " + dir.path() +
                                 "/./loud.wav: the output would replace the input file; nothing written\n"}));
    EXPECT_EQ(Qwdump({"shape", loud, "-o", out}).exitStatus, 2) << "no step";
    EXPECT_EQ(ReadWholeFile(loud), WavBytes::Mono(SampleBytes(lopsided)).str());
}

TEST_F(QwdumpTest, MorphWritesTheWholeTableFromAToBOrNothing)
{
    const std::string table = dir.File("table");
    const auto file = [&](int n) { return table + "/morph-00" + std::to_string(n) + ".wav"; };
    EXPECT_EQ(Qwdump({"morph", kSquare, kSaw, "--steps", "2", "-o", table}),
              (ProcessResult{0,
                             "Morphed " + kSquare + " to " + kSaw + " sample by sample: " + file(1) + " to " + file(4) +
                                 ", 2 waves between\n",
                             ""}));
    for (const MorphMethod method : {MorphMethod::kSamples, MorphMethod::kHarmonics}) {
        const std::vector<Wave16> between = WavesBetween(Loaded(kSquare), Loaded(kSaw), 2, method);
        EXPECT_EQ(Loaded(file(1)), Loaded(kSquare));
        EXPECT_EQ(Loaded(file(2)), between[0]);
        EXPECT_EQ(Loaded(file(3)), between[1]);
        EXPECT_EQ(Loaded(file(4)), Loaded(kSaw));
        // Nothing is replaced but with --force.
        Args again = {"morph", kSquare, kSaw, "--steps", "2", "-o", table, "--harmonic"};
        EXPECT_EQ(Qwdump(again),
                  (ProcessResult{1, "", "qwdump: " + file(1) + " exists; nothing written (--force replaces it)\n"}));
        again.push_back("--force");
        EXPECT_EQ(Qwdump(again).exitStatus, 0);
    }
    // A wave that does not load writes nothing, not even the folder.
    EXPECT_EQ(Qwdump({"morph", kSquare, dir.File("missing.wav"), "--steps", "2", "-o", dir.File("none")}).exitStatus,
              1);
    EXPECT_FALSE(std::filesystem::exists(dir.File("none")));
}

// With no audio output at all, play names what is missing, for a build with
// both systems or one left out. ALSA gets an empty configuration, so that
// no device of the machine's answers.
TEST_F(QwdumpTest, PlayWithoutAnOutputSaysWhichSystemIsMissing)
{
    const std::string noDevices = "ALSA_CONFIG_PATH=" + dir.Write("alsa.conf", "") + " exec \"$@\"";
#if QWD_WITH_JACK
    const std::string noJack = "no JACK server is running";
#else
    const std::string noJack = "this build has no JACK";
#endif
#if QWD_WITH_ALSA
    const std::string noOutput = "qwdump: no audio output: " + noJack + ", and snd_pcm_open default: ";
#else
    const std::string noOutput = "qwdump: no audio output: " + noJack + ", and this build has no ALSA\n";
#endif
    const ProcessResult played = Qwdump({"play", kSquare}, noDevices);
    EXPECT_EQ(played.exitStatus, 1);
    EXPECT_EQ(played.err.rfind(noOutput, 0), 0u) << played.err;
    EXPECT_EQ(Qwdump({"play", kSquare, "--port", "system:playback_1"}, noDevices),
              (ProcessResult{3, "", "qwdump: " + noJack + " to play to system:playback_1\n"}));
}

#if QWD_WITH_JACK
// Receiving clients are declared after the server, so they stop first.
class QwdumpJackTest : public ::testing::Test
{
protected:
    void SetUp() override { SKIP_WITHOUT_PRIVATE_SHM(); }
    PrivateJackServer& StartServer(const Args& extra = {})
    {
        server = std::make_unique<PrivateJackServer>(dir.File("jackd.log"), extra);
        return *server;
    }

    TempDir dir;
    std::unique_ptr<PrivateJackServer> server;
};

// jack_rec (jackd2's example client) records what play sends; tone_check
// holds the recording against the wave. A4 ends by Ctrl-C, C8 on time.
TEST_F(QwdumpJackTest, PlayIsInTuneTrueToTheWaveUnaliasedAndFadedAtBothEnds)
{
    StartServer();
    for (const auto& [note, hz] : {std::pair<std::string, std::string>{"A4", "440"}, {"C8", "4186.009"}}) {
        const std::string recording = dir.File(note + ".wav"), out = dir.File(note + ".out");
        // Its port takes the server's silent capture port, and what plays to it.
        BackgroundProcess recorder({"/usr/bin/jack_rec", "-f", recording, "-d", "3", "-b", "24", "system:capture_1"});
        ASSERT_TRUE(WaitUntil(
            [&] { return ListJackPorts(server->name()).out.find("jackrec:input1") != std::string::npos; }, 20s));
        const bool untilStopped = note == "A4";
        BackgroundProcess play({QWDUMP_PATH, "-v", "play", kSquare, "--note", note, "--seconds",
                                untilStopped ? "0" : "1", "--port", "jackrec:input1"},
                               out, out);
        if (untilStopped) {
            ASSERT_TRUE(WaitUntil([&] { return ReadWholeFile(out).find("Playing") != std::string::npos; }, 20s));
            std::this_thread::sleep_for(1s);
            play.Signal(SIGINT);
        }
        EXPECT_EQ(WEXITSTATUS(play.Wait()), untilStopped ? 130 : 0) << ReadWholeFile(out);
        recorder.Wait();
        const ProcessResult check = RunProcess({TONE_CHECK, recording, kSquare, hz, "-12"});
        EXPECT_EQ(check.exitStatus, 0) << note << ": " << check.out << check.err;
        std::printf("%s: %s%s", note.c_str(), check.out.c_str(), ReadWholeFile(out).c_str());
    }
}

// One keyboard client writes messages at known frames; a recorder keeps
// what play sounds, frame for frame. The bank: the square as wave 97, a sine
// as 98. A4 is 440 Hz, A3 220 Hz: over 4,800 frames both are whole cycles.
TEST_F(QwdumpJackTest,
       KeyboardNotesStartAtTheirFrameByVelocityEachKeyAloneTheWheelMovesThroughTheBankAndAGoneSourceFades)
{
    StartServer();
    std::vector<std::int16_t> sine(128);
    for (int i = 0; i < 128; ++i)
        sine[i] = static_cast<std::int16_t>(std::lround(12000 * std::sin(2 * M_PI * i / 128)));
    const std::string sineWav = dir.Write("sine.wav", WavBytes::Mono(SampleBytes(sine)).str());
    const std::string bank = dir.File("bank.syx"), out = dir.File("play.out");
    ASSERT_EQ(Qwdump({"pack", kSquare, sineWav, "--wave", "97", "-o", bank}).exitStatus, 0);
    JackRecorder recorder("recorder", 30);
    auto keys = std::make_unique<JackKeyboard>("keys");
    BackgroundProcess play({QWDUMP_PATH, "play", bank, "--midi-in", "out (keys)", "--port", "recorder:in"}, out, out);
    ASSERT_TRUE(WaitUntil([&] { return ReadWholeFile(out).find("Playing") != std::string::npos; }, 20s))
        << ReadWholeFile(out);

    // Frames from a period's start half a second on, in whole periods.
    const jack_nframes_t period = keys->Period();
    const jack_nframes_t base = (keys->Now() / period + 24000 / period + 1) * period;
    const auto at = [&](double seconds) {
        return base + static_cast<jack_nframes_t>(std::lround(seconds * 48000 / period)) * period;
    };
    const jack_nframes_t first = at(0) + 300;  // within its period
    const auto note = [](int key, int velocity) {
        return std::vector<std::uint8_t>{0x90, static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(velocity)};
    };
    const auto off = [](int key) { return std::vector<std::uint8_t>{0x80, static_cast<std::uint8_t>(key), 64}; };
    const auto wheel = [](int value) { return std::vector<std::uint8_t>{0xB0, 1, static_cast<std::uint8_t>(value)}; };
    keys->Play({{first, note(69, 127)},
                {at(0.4), off(69)},
                {at(0.6), note(69, 32)},
                {at(1.0), note(69, 0)},
                {at(1.2), note(57, 100)},
                {at(1.2), note(69, 100)},
                {at(1.5), off(69)},
                {at(1.9), off(57)},
                {at(2.2), note(69, 100)},
                {at(2.5), wheel(127)},
                {at(2.8), wheel(64)},
                {at(3.1), {0xC0, 0}},
                {at(3.4), off(69)},
                {at(3.6), note(69, 100)}});
    // The keyboard goes away with A4 held: its release fades it, and the
    // play ends as receive does on a gone source.
    ASSERT_TRUE(WaitUntil([&] { return recorder.Reached(at(3.9)); }, 30s));
    EXPECT_EQ(keys->Late(), 0u);
    const jack_nframes_t gone = keys->Now();
    keys.reset();
    if (!WaitUntil([&] { return !play.Running(); }, 10s))
        play.Stop();
    EXPECT_EQ(WEXITSTATUS(play.waitStatus()), 3) << ReadWholeFile(out);
    EXPECT_NE(ReadWholeFile(out).find("qwdump: MIDI source 'out (keys)' went away\n"), std::string::npos)
        << ReadWholeFile(out);
    ASSERT_TRUE(WaitUntil([&] { return recorder.Reached(gone + 48000); }, 10s));
    jack_nframes_t tail = gone;
    for (jack_nframes_t frame = gone; frame != gone + 48000; ++frame)
        tail = std::abs(recorder.At(frame)) > 0.001f ? frame : tail;
    const float held = recorder.Peak(at(3.7), at(3.8));
    EXPECT_GT(tail, gone);
    EXPECT_LT(recorder.Peak(tail - 96, tail + 1), held * 0.5f) << "a step, not a fade";

    // Silence to the note-on's own frame, then the attack: past -60 dBFS
    // within a few frames.
    EXPECT_EQ(recorder.Peak(first - period, first), 0.0f);
    EXPECT_LE(recorder.FirstAbove(first, first + period, 0.001f) - first, 16u);
    const auto window = [&](double seconds) { return std::pair{at(seconds), at(seconds) + 4800}; };
    const auto rms = [&](std::pair<jack_nframes_t, jack_nframes_t> w) { return recorder.Rms(w.first, w.second); };
    const auto amplitude = [&](double hz, std::pair<jack_nframes_t, jack_nframes_t> w) {
        return recorder.Amplitude(hz, w.first, w.second);
    };
    // (127 / 32)^2 apart: about 24 dB.
    EXPECT_NEAR(20 * std::log10(rms(window(0.2)) / rms(window(0.8))), 24, 1.5);
    // A4's note-off leaves A3 sounding as it was; A3's leaves silence.
    EXPECT_GT(amplitude(440, window(1.3)), 0.05);
    EXPECT_LT(amplitude(440, window(1.7)), 0.001);
    EXPECT_NEAR(amplitude(220, window(1.7)) / amplitude(220, window(1.3)), 1, 0.02);
    EXPECT_LT(recorder.Peak(at(2.0), at(2.2)), 0.001f);
    // The square's third harmonic, against the fundamental: from the square,
    // to the sine, half way, and back to the square by program change 0.
    const auto third = [&](double seconds) {
        return amplitude(1320, window(seconds)) / amplitude(440, window(seconds));
    };
    EXPECT_GT(third(2.3), 0.2);
    EXPECT_LT(third(2.6), 0.002);
    EXPECT_GT(third(2.9), 0.05);
    EXPECT_LT(third(2.9), third(2.3) * 0.9);
    EXPECT_NEAR(third(3.2), third(2.3), 0.01);
    std::printf("A4 past -60 dBFS %u frames after its note-on; 127 vs 32: %.1f dB; third harmonic %.3f %.4f %.3f %.3f; "
                "gone: its last 2 ms at %.2f of the held peak\n",
                recorder.FirstAbove(first, first + period, 0.001f) - first,
                20 * std::log10(rms(window(0.2)) / rms(window(0.8))), third(2.3), third(2.6), third(2.9), third(3.2),
                recorder.Peak(tail - 96, tail + 1) / held);
}

TEST_F(QwdumpJackTest, ConnectionRefusedOrNeverMadeExitsFourWithTheReason)
{
    // "-a E": the server fails our requests to connect to other clients'
    // ports; "-a e": it ignores them, and the send completes undelivered.
    const std::pair<const char*, std::string> cases[] = {
        {"E", "MIDISendSysex = -10838\nqwdump: wave 100 (" + kSquare +
                  ") was not sent to input (midi-monitor): "
                  "jack_connect qwdump:out-1 to midi-monitor:input: the server refused the connection (error -1)\n"},
        {"e", "MIDISendSysex = 0\nMIDI send not delivered: no connection within 1 s\nqwdump: wave 100 (" + kSquare +
                  ") was not sent to input (midi-monitor): no connection within 1 s\n"},
    };
    for (const auto& [mode, err] : cases) {
        MidiDump monitor(StartServer({"-a", mode}), dir.File(std::string(mode) + ".log"));
        EXPECT_EQ(Qwdump({"send", kSquare, "--port", kMonitor, "--wave", "100", "--verbose"}),
                  (ProcessResult{4, "", err}));
        EXPECT_TRUE(monitor.Events().empty());
    }
}

TEST_F(QwdumpJackTest, BanksArriveWholeInOrderPacedOnlyWhereSentAndNothingOfABadOneGoesOut)
{
    StartServer();
    MidiDump monitor(*server, dir.File("monitor.log"), "midi-monitor", true);
    // A tab in a title is shown escaped: a destination stays one line.
    MidiDump other(*server, dir.File("other.log"), "oth\ter");
    const std::string ports = Qwdump({"ports"}).out;
    EXPECT_TRUE(ports == kMonitor + "\ninput (oth\\ter)\n" || ports == "input (oth\\ter)\n" + kMonitor + "\n") << ports;
    EXPECT_NE(Qwdump({"ports", "--addresses"}).out.find("input (oth\\ter)\toth\\ter:input\n"), std::string::npos);
    EXPECT_EQ(Qwdump({"send", kSaw, "--port", "oth\ter:input", "--wave", "101"}).exitStatus, 0);

    // 32 files to waves 97 to 128, each whole, in order, placed at the frame
    // where the one before plus its wire time (96 ms) and the gap ends; log
    // lines to syslog only.
    const std::string syx = dir.File("bank.syx");
    Args send = {"send", "--port", kMonitor, "--wave", "97", "--gap", "50"};
    Args pack = {"pack", "--wave", "97", "-o", syx};
    MidiDump::EventList bank;
    for (int i = 0; i < 32; ++i) {
        send.push_back(i % 2 ? kSaw : kSquare);
        pack.push_back(send.back());
        bank.push_back(Message(send.back(), 97 + i));
    }
    const ProcessResult sent = Qwdump(send);
    EXPECT_EQ(sent.exitStatus, 0);
    EXPECT_EQ(sent.err, "");
    EXPECT_NE(sent.out.find("Sent wave 128 (" + kSaw + ") to input (midi-monitor)\n"), std::string::npos);
    ASSERT_TRUE(monitor.WaitForEvents(32, 5s));
    EXPECT_EQ(monitor.Events(), bank);
    const std::vector<long> times = monitor.FrameTimes();
    // A receiver that runs late in a loaded cycle sees a message a period
    // late: the median is exact, each within the 1,024-frame period.
    const long spacing = (96 + 50) * PrivateJackServer::kSampleRate / 1000;
    std::vector<long> spacings;
    for (std::size_t i = 1; i < times.size(); ++i) {
        spacings.push_back(times[i] - times[i - 1]);
        EXPECT_LT(std::labs(spacings.back() - spacing), 1024) << "message " << i;
    }
    std::sort(spacings.begin(), spacings.end());
    EXPECT_EQ(spacings[spacings.size() / 2], spacing);

    // Packed into one .syx file, the bank goes out again byte for byte.
    EXPECT_EQ(Qwdump(pack).exitStatus, 0);
    EXPECT_EQ(Qwdump({"send", syx, "--port", kMonitor, "--gap", "0"}).exitStatus, 0);
    ASSERT_TRUE(monitor.WaitForEvents(64, 10s));
    const MidiDump::EventList events = monitor.Events();
    EXPECT_EQ(MidiDump::EventList(events.begin() + 32, events.end()), bank);

    // Everything is checked before the first byte goes out.
    std::string bytes = ReadWholeFile(syx);
    bytes[305] = '\x85';
    const std::string bad = dir.Write("bad.syx", bytes);
    EXPECT_EQ(Qwdump({"send", syx, bad, "--port", kMonitor}),
              (ProcessResult{1, "", "qwdump: " + bad + ": byte 305: wave index 85 is outside 60-7F (waves 97-128)\n"}));
    EXPECT_EQ(Qwdump({"send", syx, dir.File("none.wav"), "--port", kMonitor, "--wave", "97"}).exitStatus, 1);

    // Ctrl-C lets the message in flight finish and sends no more.
    BackgroundProcess run({QWDUMP_PATH, "send", kSquare, kSaw, "--port", kMonitor, "--wave", "97", "--gap", "10000"},
                          dir.File("run.out"), dir.File("run.err"));
    ASSERT_TRUE(WaitUntil([&] { return ReadWholeFile(dir.File("run.out")).find("Sent") != std::string::npos; }, 5s));
    run.Stop(SIGINT);
    EXPECT_EQ(WEXITSTATUS(run.waitStatus()), 130);
    EXPECT_EQ(ReadWholeFile(dir.File("run.err")), "qwdump: interrupted: 1 of 2 messages went out\n");
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(monitor.Events().size(), 65u);
    EXPECT_EQ(other.Events(), MidiDump::EventList{Message(kSaw, 101)});
}

TEST_F(QwdumpJackTest, ReceiveJoinsSplitMessagesDropsRealTimeBytesAndSkipsOtherMessages)
{
    StartServer();
    JackSender synth("synth");
    EXPECT_EQ(Qwdump({"ports", "--sources", "--addresses"}).out, "out (synth)\tsynth:out\n");
    // Each wave dump in three events, with clock bytes inside; between them
    // another maker's message, and one cut short by a note.
    const MidiDump::EventList bank = {Message(kSquare, 97), Message(kSaw, 98), Message(kSquare, 128)};
    MidiDump::EventList events;
    for (const auto& message : bank) {
        events.push_back({message.begin(), message.begin() + 100});
        events.push_back({0xF8});
        events.push_back({message.begin() + 100, message.begin() + 200});
        events.back().insert(events.back().begin() + 50, 0xF8);
        events.push_back({message.begin() + 200, message.end()});
        if (events.size() == 4)
            events.insert(
                events.end(),
                {{0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}, {0xF0, 0x01, 0x20, 0x01, 0x0A, 0x61}, {0x90, 0x40, 0x7F}});
    }
    const std::string syx = dir.File("backup.syx");
    BackgroundProcess receive({QWDUMP_PATH, "receive", "--port", "out (synth)", "-o", syx, "--count", "3"},
                              dir.File("receive.out"), dir.File("receive.err"));
    ASSERT_TRUE(WaitUntil(
        [&] {
            return RunProcess({"/usr/bin/jack_lsp", "-c"}).out.find("   qwdump:in") != std::string::npos;
        },
        10s));
    synth.Play(events);
    ASSERT_TRUE(WaitUntil([&] { return !receive.Running(); }, 10s));
    EXPECT_EQ(WEXITSTATUS(receive.Wait()), 5) << "a wave dump cut short: the backup is not whole";
    EXPECT_EQ(ReadWholeFile(dir.File("receive.out")), "Received wave 97\nReceived wave 98\nReceived wave 128\n");
    EXPECT_EQ(ReadWholeFile(dir.File("receive.err")),
              "qwdump: skipped a 6-byte System Exclusive message that is not a wave dump\n"
              "qwdump: dropped a System Exclusive message cut short after 6 bytes by the status byte 90\n"
              "qwdump: some messages were lost (1 wave dump cut short)\n");
    EXPECT_EQ(ReadWholeFile(syx), Text(bank[0]) + Text(bank[1]) + Text(bank[2]));

    // Lost with no status byte to tell: a byte dropped on the cable, a
    // tail whose start came before listening, a dump cut by the end. A
    // damaged wave that comes again whole is not named among those lost.
    std::vector<std::uint8_t> damaged = Message(kSaw, 110);
    damaged.erase(damaged.begin() + 150);
    const std::vector<std::uint8_t> tail(bank[1].begin() + 200, bank[1].end());
    // Its disk full by the end (a full 16 KiB tmpfs at small/, in a mount
    // namespace of its own, where JACK's /dev/shm is the same), the capture
    // is kept in the data folder.
    const std::string data = dir.File("data");
    std::filesystem::create_directory(dir.File("small"));
    const std::string full = "cd \"$1\" && holder=$(findmnt -n -f -o TARGET -T small) && mount --make-private "
                             "\"$holder\" && mount -t tmpfs -o size=16k qwd-small small && "
                             "{ cat /dev/zero >small/fill 2>/dev/null || true; } && shift && exec \"$@\"";
    // As root, or as root of a user namespace of its own.
    const auto inSmall = [&](bool mapRoot, Args command) {
        command.insert(command.begin(), {"/usr/bin/unshare", "--mount", "sh", "-c", full, "sh", dir.path()});
        if (mapRoot)
            command.insert(command.begin() + 1, "--map-root-user");
        return command;
    };
    const ProcessResult tried = RunProcess(inSmall(false, {"true"}));
    const bool mapRoot = tried.exitStatus != 0;
    if (mapRoot && RunProcess(inSmall(true, {"true"})).exitStatus != 0)
        GTEST_SKIP() << "no mount namespace with a tmpfs of its own here: " << tried.err;
    BackgroundProcess lossy(inSmall(mapRoot, {"/usr/bin/env", "XDG_DATA_HOME=" + data, QWDUMP_PATH, "receive", "--port",
                                              "synth:out", "-o", "small/backup.syx", "--idle", "1"}),
                            dir.File("lossy.out"), dir.File("lossy.err"));
    ASSERT_TRUE(WaitUntil(
        [&] {
            return RunProcess({"/usr/bin/jack_lsp", "-c"}).out.find("   qwdump:in") != std::string::npos;
        },
        10s));
    synth.Play(
        {tail, damaged, Message(kSaw, 97), bank[0], Message(kSaw, 110), {bank[2].begin(), bank[2].begin() + 200}});
    ASSERT_TRUE(WaitUntil([&] { return !lossy.Running(); }, 10s));
    EXPECT_EQ(WEXITSTATUS(lossy.Wait()), 1) << ReadWholeFile(dir.File("lossy.err"));
    const std::filesystem::directory_iterator kept(data + "/quarven-wave-dump");
    ASSERT_NE(kept, std::filesystem::directory_iterator());
    const std::string rescue = kept->path().filename().string(), pid = "-" + std::to_string(lossy.pid()) + ".syx";
    EXPECT_TRUE(rescue.size() == 23 + pid.size() && rescue.rfind("receive-", 0) == 0 &&
                rescue.substr(rescue.size() - pid.size()) == pid && rescue[16] == '-')
        << rescue;
    EXPECT_EQ(ReadWholeFile(kept->path()), Text(bank[0]) + Text(Message(kSaw, 110)));
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("small"))) << "the tmpfs seen outside its namespace";
    EXPECT_EQ(ReadWholeFile(dir.File("lossy.err")),
              "qwdump: dropped the last 100 bytes of a System Exclusive message whose start was missed\n"
              "qwdump: dropped a damaged 299-byte wave dump (byte 294: 76 where the last group's header, for 4 "
              "bytes, has bits 4-6 clear)\n"
              "qwdump: wave 97 arrived again; the later copy replaces the earlier one\n"
              "qwdump: dropped a System Exclusive message cut short after 200 bytes by the end of the stream\n"
              "qwdump: cannot write small/backup.syx: can't write to the temporary file: No space left on device\n"
              "qwdump: what arrived is kept in " +
                  kept->path().string() +
                  " instead\n"
                  "qwdump: some messages were lost (3 wave dumps cut short)\n"
                  "qwdump: lost wave 128\n");
}

// A synth with a USB port of its own dumps a bank as fast as JACK carries
// it: all in one period, or as one event. Ctrl-C or SIGTERM writes what came.
TEST_F(QwdumpJackTest, ReceiveTakesABankInOnePeriodOrOneEventAndASignalWritesWhatCame)
{
    StartServer();
    JackSender synth("synth");
    MidiDump::EventList bank;
    std::vector<std::uint8_t> whole;
    for (int i = 0; i < 32; ++i) {
        bank.push_back(Message(i % 2 ? kSaw : kSquare, 97 + i));
        whole.insert(whole.end(), bank.back().begin(), bank.back().end());
    }
    const std::string syx = dir.Write("backup.syx", "old");
    int runs = 0;
    const auto receive = [&](const MidiDump::EventList& events, bool burst, Args args) {
        const std::string log = dir.File("receive-" + std::to_string(++runs));
        args.insert(args.begin(), {QWDUMP_PATH, "receive", "--port", "synth:out", "-o", syx});
        auto run = std::make_unique<BackgroundProcess>(args, log + ".out", log + ".err");
        EXPECT_TRUE(WaitUntil(
            [] {
                return RunProcess({"/usr/bin/jack_lsp", "-c"}).out.find("   qwdump:in") != std::string::npos;
            },
            10s));
        synth.Play(events, burst);
        EXPECT_TRUE(WaitUntil([&] { return synth.Done(); }, 10s));
        return run;
    };
    for (const auto& [events, burst] : {std::pair{bank, true}, {MidiDump::EventList{whole}, false}}) {
        auto run = receive(events, burst, {"--count", "32"});
        ASSERT_TRUE(WaitUntil([&] { return !run->Running(); }, 10s));
        EXPECT_EQ(WEXITSTATUS(run->Wait()), 0) << ReadWholeFile(dir.File("receive-" + std::to_string(runs) + ".err"));
        EXPECT_EQ(ReadWholeFile(syx), Text(whole)) << events.size() << " events";
    }
    // Ctrl-C, or a logout's SIGTERM, while it listens.
    for (const int signal : {SIGINT, SIGTERM}) {
        dir.Write("backup.syx", "old");
        auto run = receive({bank.begin(), bank.begin() + 3}, false, {});
        const std::string out = dir.File("receive-" + std::to_string(runs) + ".out");
        ASSERT_TRUE(WaitUntil([&] { return ReadWholeFile(out).find("Received wave 99") != std::string::npos; }, 10s));
        run->Stop(signal);
        EXPECT_EQ(WEXITSTATUS(run->waitStatus()), 128 + signal);
        EXPECT_EQ(ReadWholeFile(syx), Text(bank[0]) + Text(bank[1]) + Text(bank[2]));
    }

    auto frozen = receive({bank.begin(), bank.begin() + 3}, false, {"--idle", "2"});
    ASSERT_TRUE(
        WaitUntil([&] { return ReadWholeFile(dir.File("receive-5.out")).find("wave 99") != std::string::npos; }, 10s));
    server->Freeze();
    ASSERT_TRUE(WaitUntil([&] { return !frozen->Running(); }, 20s));
    server->Thaw();
    // A server frozen mid-dump may hold the rest: a loss, not a success.
    EXPECT_EQ(WEXITSTATUS(frozen->Wait()), 5) << ReadWholeFile(dir.File("receive-5.err"));
    EXPECT_NE(ReadWholeFile(dir.File("receive-5.err")).find("qwdump: the MIDI system did not answer"),
              std::string::npos)
        << ReadWholeFile(dir.File("receive-5.err"));
    EXPECT_EQ(ReadWholeFile(syx), Text(bank[0]) + Text(bank[1]) + Text(bank[2]));
}

TEST_F(QwdumpJackTest, FrozenServerIsLeftOutWithinDeadlinesAndFoundAgainOnceItAnswers)
{
    StartServer();
    MidiDump monitor(*server, dir.File("monitor.log"));
    server->Freeze();
    const std::string notAnswering =
        "qwdump: JACK server not answering within 1 s: its MIDI destinations are left out\n";
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Qwdump({"ports"}), (ProcessResult{0, "", notAnswering}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    start = std::chrono::steady_clock::now();
    const ProcessResult send = Qwdump({"send", kSquare, "--port", kMonitor, "--wave", "97"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(send.exitStatus, 3);
    EXPECT_EQ(send.err.find(notAnswering), 0u) << send.err;
    // The window appears at most about a second late, works, and quits at once.
    const ProcessResult window = RunProcess({"/usr/bin/env", "APPEAR_LIMIT_MS=3000", "/bin/bash", WINDOW_TEST, APP_PATH,
                                             DRAG_SOURCE, kSaw, kSquare, dir.path()},
                                            60s);
    EXPECT_EQ(window.exitStatus, 0) << window.out << window.err;

    // Clients frozen that long may be dropped by the server: a new one is found.
    server->Thaw();
    MidiDump after(*server, dir.File("after.log"), "after");
    EXPECT_NE(Qwdump({"ports"}).out.find("input (after)\n"), std::string::npos);
    EXPECT_EQ(Qwdump({"send", kSquare, "--port", "input (after)", "--wave", "97"}).exitStatus, 0);
    EXPECT_TRUE(after.WaitForEvents(1, 5s));

    // PipeWire's libjack keeps no shared database: a frozen daemon is a
    // frozen server, at the same deadline, with no word of a lock.
    if (!std::filesystem::exists("/usr/bin/pipewire") || !std::filesystem::exists("/usr/bin/pw-jack"))
        GTEST_SKIP() << "no PipeWire (packages pipewire, pipewire-jack): its frozen daemon is not tried";
    TempDir runtime;
    const std::string environment = "XDG_RUNTIME_DIR=" + runtime.path();
    BackgroundProcess pipeWire({"/usr/bin/env", environment, "/usr/bin/pipewire"}, dir.File("pipewire.log"),
                               dir.File("pipewire.log"));
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(runtime.File("pipewire-0")); }, 10s));
    pipeWire.Signal(SIGSTOP);
    const std::string throughPipeWire = "unset JACK_DEFAULT_SERVER; " + environment + " exec pw-jack \"$@\"";
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(Qwdump({"ports"}, throughPipeWire), (ProcessResult{0, "", notAnswering}));
    EXPECT_EQ(Qwdump({"play", kSquare, "--seconds", "0.1"}, throughPipeWire),
              (ProcessResult{4, "", "qwdump: JACK server not answering within 1 s (jack_client_open)\n"}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    pipeWire.Signal(SIGCONT);
}

#endif

}  // namespace

// Ends our programs at random moments of their start-up, at the lowest
// priority on a machine whose cores are busy, and checks that JACK is never
// left locked: a process that dies while libjack sets up its database in
// /dev/shm blocks every later JACK program of the user for good. Each run
// starts with an empty /dev/shm, so a program that calls libjack creates
// the database afresh; a signal is aimed at the moments it creates its
// files. Run it inside tests/support/private-shm.sh.
//
//   jack_lock_stress RUNS QWDUMP WINDOW WAV

#include "PrivateShm.h"
#include "Process.h"

#include <gtest/gtest.h>

#include <sys/inotify.h>

#include <poll.h>

#include <random>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

int g_runs = 0;
std::vector<std::string> g_programs;  // qwdump, the window, a wave file

// A JACK client that hangs (2 s) where it should fail at once: locked.
bool JackLocked()
{
    return std::filesystem::exists("/dev/shm/jack_db-" + std::to_string(::getuid())) &&
           RunProcess({"/usr/bin/jack_lsp"}, 2s).exitStatus == -1;
}

TEST(JackLockStress, OurProgramsEndedAtRandomMomentsNeverLeaveJackLocked)
{
    SKIP_WITHOUT_PRIVATE_SHM();  // it empties /dev/shm
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const TempDir runtime;
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    BackgroundProcess hog({"/bin/sh", "-c", "while :; do :; done"}), otherHog({"/bin/sh", "-c", "while :; do :; done"});
    const std::string nice[] = {"/usr/bin/nice", "-n", "19"};
    const std::pair<const char*, std::vector<std::string>> programs[] = {
        {"qwdump ports", {g_programs[0], "ports"}},
        {"qwdump send", {g_programs[0], "send", g_programs[2], "--port", "nobody (none)", "--wave", "97"}},
        {"the window", {g_programs[1]}},
        {"the window without a display", {"/usr/bin/env", "QT_QPA_PLATFORM=xcb", "DISPLAY=:4093", g_programs[1]}},
    };
    std::mt19937 random(20261208);
    int aimed = 0;
    int run = 0;
    const auto start = Clock::now();
    for (bool locked = false; run < g_runs && !locked; ++run) {
        for (const auto& entry : std::filesystem::directory_iterator("/dev/shm"))
            std::filesystem::remove_all(entry.path());
        const int inotify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        ::inotify_add_watch(inotify, "/dev/shm", IN_CREATE);
        const auto& [name, argv] = programs[run % 4];
        // Each ends by itself, or on SIGINT, SIGTERM or SIGHUP; the window
        // on a display never ends by itself.
        const int ending =
            run % 4 == 2 && run / 4 % 4 == 0 ? SIGTERM : std::array{0, SIGINT, SIGTERM, SIGHUP}[run / 4 % 4];
        std::vector<std::string> niced(std::begin(nice), std::end(nice));
        niced.insert(niced.end(), argv.begin(), argv.end());
        BackgroundProcess program(niced);
        // Signalled at a random moment of its start-up, or as libjack
        // creates the database's folder or one of its files, whichever the
        // dice pick: that is when a process that dies leaves it locked.
        auto when = Clock::now() + std::chrono::microseconds(random() % 1200000);
        auto aimAt = random() % 4;
        const auto giveUp = Clock::now() + 60s;
        for (bool sent = ending == 0; program.Running();) {
            ASSERT_LT(Clock::now(), giveUp) << "run " << run << ": " << name << " did not end";
            pollfd created{inotify, POLLIN, 0};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now()).count();
            alignas(inotify_event) char events[4096];
            const ssize_t got = ::poll(&created, 1, sent ? 10 : static_cast<int>(std::max<long>(0, left))) > 0
                                    ? ::read(inotify, events, sizeof events)
                                    : 0;
            for (ssize_t at = 0; at < got;
                 at += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(events + at)->len) {
                const auto* event = reinterpret_cast<inotify_event*>(events + at);
                if (std::string(event->name).rfind("jack_db", 0) == 0)
                    ::inotify_add_watch(inotify, ("/dev/shm/" + std::string(event->name)).c_str(), IN_CREATE);
                if (!sent && aimAt-- == 0) {
                    when = Clock::now() + std::chrono::microseconds(random() % 1000);
                    ++aimed;
                }
            }
            if (!sent && Clock::now() >= when) {
                program.Signal(ending);
                sent = true;
            }
        }
        ::close(inotify);
        locked = JackLocked();
        EXPECT_FALSE(locked) << "run " << run << ": " << name << " ended by " << (ending ? strsignal(ending) : "itself")
                             << " left JACK locked";
    }
    const std::chrono::duration<double> took = Clock::now() - start;
    std::printf("%d runs in %.1f s, %d signals aimed at libjack's start-up\n", run, took.count(), aimed);

    // And afterwards a server and a client come up as usual.
    BackgroundProcess jackd({"/usr/bin/jackd", "-n", "qwd-stress", "--no-realtime", "-d", "dummy", "-r", "48000"});
    EXPECT_TRUE(WaitUntil(
        [] {
            return RunProcess({"/usr/bin/jack_lsp", "-s", "qwd-stress"}, 2s).exitStatus == 0;
        },
        2s));
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s RUNS QWDUMP WINDOW WAV\n", argv[0]);
        return 2;
    }
    g_runs = std::atoi(argv[1]);
    g_programs.assign(argv + 2, argv + 5);
    return RUN_ALL_TESTS();
}

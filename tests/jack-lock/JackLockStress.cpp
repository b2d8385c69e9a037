// Ends our programs at random moments of their start-up, at the lowest
// priority on a machine whose cores are busy, and checks that JACK is never
// left locked: a process that dies while libjack sets up its database in
// /dev/shm blocks every later JACK program of the user for good. Each run
// starts with an empty /dev/shm, so a program that calls libjack creates
// the database afresh; a signal is aimed at the first milliseconds after the
// database's folder appears. Run it inside tests/support/private-shm.sh.
//
//   jack_lock_stress RUNS QWDUMP WINDOW WAV

#include "Process.h"

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <sys/resource.h>

#include <fcntl.h>
#include <poll.h>

#include <array>
#include <filesystem>
#include <random>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

int g_runs = 0;
std::vector<std::string> g_programs;  // qwdump, the window, a wave file

void EmptyShm()
{
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm"))
        std::filesystem::remove_all(entry.path());
}

// A JACK client answers within 2 s (with no server: says so at once).
bool JackAnswers(const std::vector<std::string>& argv)
{
    BackgroundProcess client(argv);
    return WaitUntil([&] { return !client.Running(); }, 2s) || (client.Stop(SIGKILL), false);
}

// Our program, at the lowest priority, while the hogs take both cores.
pid_t StartIdle(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        for (int fd = 0; fd < 3; ++fd)
            ::dup2(null, fd);
        ::setpriority(PRIO_PROCESS, 0, 19);
        ::execve(args[0], args.data(), environ);
        ::_exit(127);
    }
    return pid;
}

TEST(JackLockStress, OurProgramsEndedAtRandomMomentsNeverLeaveJackLocked)
{
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const TempDir runtime;
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    std::vector<std::unique_ptr<BackgroundProcess>> hogs;
    for (int i = 0; i < 2; ++i)
        hogs.push_back(std::make_unique<BackgroundProcess>(std::vector<std::string>{"/bin/sh", "-c", "while :; do :; done"}));

    const std::string& qwdump = g_programs[0];
    const std::pair<const char*, std::vector<std::string>> programs[] = {
        {"qwdump ports", {qwdump, "ports"}},
        {"qwdump send", {qwdump, "send", g_programs[2], "--port", "nobody (none)", "--wave", "97"}},
        {"the window", {g_programs[1]}},
        {"the window without a display", {"/usr/bin/env", "QT_QPA_PLATFORM=xcb", "DISPLAY=:4093", g_programs[1]}},
    };
    std::mt19937 random(20261208);
    int locked = 0;
    int aimed = 0;
    const auto start = Clock::now();
    int run = 0;
    for (; run < g_runs && locked == 0; ++run) {
        EmptyShm();
        const int inotify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        ::inotify_add_watch(inotify, "/dev/shm", IN_CREATE);
        const auto& [name, argv] = programs[run % 4];
        // Each program ends by itself, or on SIGINT, SIGTERM or SIGHUP; the
        // window on a display never ends by itself.
        int ending = std::array<int, 4>{0, SIGINT, SIGTERM, SIGHUP}[(run / 4) % 4];
        if (ending == 0 && run % 4 == 2)
            ending = SIGTERM;
        const pid_t pid = StartIdle(argv);
        // Signalled at a random moment of its start-up, or, once libjack
        // starts on its database, within the next few milliseconds, which is
        // when a process that dies leaves it locked.
        auto when = Clock::now() + std::chrono::microseconds(random() % 1200000);
        const auto giveUp = Clock::now() + 60s;
        bool sent = ending == 0;
        while (::waitpid(pid, nullptr, WNOHANG) != pid) {
            ASSERT_LT(Clock::now(), giveUp) << "run " << run << ": " << name << " did not end";
            pollfd created{inotify, POLLIN, 0};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now()).count();
            if (::poll(&created, 1, sent ? 10 : static_cast<int>(std::max(0L, static_cast<long>(left)))) > 0) {
                char events[4096];
                if (::read(inotify, events, sizeof events) > 0 && !sent) {
                    when = Clock::now() + std::chrono::microseconds(random() % (random() % 2 ? 2000 : 70000));
                    ++aimed;
                }
            }
            if (!sent && Clock::now() >= when) {
                ::kill(pid, ending);
                sent = true;
            }
        }
        ::close(inotify);
        // Whatever the program left, a JACK client must still get through it.
        if (std::filesystem::exists("/dev/shm/jack_db-" + std::to_string(::getuid())) &&
            !JackAnswers({"/usr/bin/jack_lsp"})) {
            ++locked;
            ADD_FAILURE() << "run " << run << ": " << name << " ended by " << (ending ? strsignal(ending) : "itself")
                          << " left JACK locked";
        }
    }
    hogs.clear();
    const std::chrono::duration<double> took = Clock::now() - start;
    std::printf("%d runs in %.1f s, %d signals aimed at libjack's start-up, %d left JACK locked\n", run,
                took.count(), aimed, locked);

    // And afterwards a server and a client come up as usual.
    EmptyShm();
    BackgroundProcess jackd({"/usr/bin/jackd", "-n", "qwd-stress", "--no-realtime", "-d", "dummy", "-r", "48000"});
    EXPECT_TRUE(WaitUntil([] { return RunProcess({"/usr/bin/jack_lsp", "-s", "qwd-stress"}, 2s).exitStatus == 0; }, 2s));
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

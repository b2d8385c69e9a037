#include "Background.h"

#include <cerrno>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

extern char** environ;

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv, const std::string& outPath,
                                     const std::string& errPath)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.empty() ? "/dev/null" : outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.empty() ? "/dev/null" : errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0600);
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const int rc = posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot start " + argv[0]);
}

BackgroundProcess::~BackgroundProcess()
{
    Stop();
}

bool BackgroundProcess::Reap(bool block)
{
    if (m_exited)
        return true;
    int status = 0;
    pid_t got;
    while ((got = ::waitpid(m_pid, &status, block ? 0 : WNOHANG)) < 0 && errno == EINTR) {
    }
    if (got == m_pid || got < 0)
        m_exited = true;
    return m_exited;
}

bool BackgroundProcess::Running()
{
    return !Reap(false);
}

bool BackgroundProcess::WaitForExit(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!Reap(false)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool BackgroundProcess::Stop(int signal, std::chrono::milliseconds grace)
{
    if (m_exited)
        return true;
    ::kill(m_pid, signal);
    if (WaitForExit(grace))
        return true;
    ::kill(m_pid, SIGKILL);
    Reap(true);
    return false;
}

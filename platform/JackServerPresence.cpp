#include "JackServerPresence.h"

#include <jack/jack.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// jackd's request socket: /dev/shm/jack_NAME_UID_0, with '/' and '\' in the
// name written as '_'.
std::string ServerSocketPath()
{
    const char* name = std::getenv("JACK_DEFAULT_SERVER");
    std::string path = "/dev/shm/jack_" + std::string(name != nullptr ? name : "default");
    for (std::size_t i = 14; i < path.size(); ++i) {
        if (path[i] == '/' || path[i] == '\\')
            path[i] = '_';
    }
    return path + "_" + std::to_string(::getuid()) + "_0";
}

// A socket file that no server listens on any more (one killed) refuses;
// a frozen server's full backlog answers EAGAIN, and counts as there.
bool SomethingListensAt(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return true;  // can't tell: let libjack try
    const bool listening = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
                           errno == EAGAIN || errno == EINPROGRESS;
    ::close(fd);
    return listening;
}

}  // namespace

bool LibJackIsPipeWires()
{
    static const bool pipeWire = [] {
        Dl_info info{};
        return ::dladdr(reinterpret_cast<void*>(&jack_client_open), &info) != 0 && info.dli_fname != nullptr &&
               std::strstr(info.dli_fname, "pipewire") != nullptr;
    }();
    return pipeWire;
}

bool JackServerMayBeRunning()
{
    return LibJackIsPipeWires() || SomethingListensAt(ServerSocketPath());
}

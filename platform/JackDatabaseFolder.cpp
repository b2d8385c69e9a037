// Apart from the rest of JackServerPresence.cpp: naming the folder needs no
// libjack, so a module built without JACK can still name it in a message.
#include "JackServerPresence.h"

#include <unistd.h>

std::string JackDatabaseFolder()
{
    return "/dev/shm/jack_db-" + std::to_string(::getuid());
}

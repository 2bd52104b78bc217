#include "platform/linux/PosixProcessLauncher.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <cstring>

#include "platform/linux/SpawnArguments.hpp"

extern char** environ;

namespace mosaiko {

std::optional<std::string> PosixProcessLauncher::startDetached(const std::string& executable,
                                                               const std::vector<std::string>& arguments) {
    SpawnArguments argv(executable, arguments);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    // The new program starts with no signal blocked and none ignored, whatever this one did.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    // glibc reports a failed exec here (the child shares our memory until it has loaded the program).
    const int error = ::posix_spawn(&pid, executable.c_str(), &actions, &attributes, argv.argv(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return std::string(std::strerror(error));
    return std::nullopt;
}

}  // namespace mosaiko

#include "platform/linux/PosixProcessRunner.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/linux/SpawnArguments.hpp"

extern char** environ;

namespace mosaiko {

namespace {

std::string describeErrno(int error) {
    return std::string(std::strerror(error));
}

}  // namespace

ProcessRunner::Outcome PosixProcessRunner::run(const std::string& executable,
                                               const std::vector<std::string>& arguments) {
    Outcome outcome;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        outcome.launchError = describeErrno(errno);
        return outcome;
    }

    SpawnArguments argv(executable, arguments);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);

    pid_t pid = -1;
    const int spawnError = ::posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv.argv(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawnError != 0) {
        ::close(fds[0]);
        outcome.launchError = describeErrno(spawnError);
        return outcome;
    }

    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n > 0) {
            outcome.output.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    ::close(fds[0]);

    int status = 0;
    pid_t waited = -1;
    do {
        waited = ::waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited < 0) {
        // The status is lost (for example when SIGCHLD is ignored and the child was reaped for us):
        // never let that read as success.
        outcome.exitStatus = -1;
    } else if (WIFEXITED(status)) {
        outcome.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        outcome.exitStatus = 128 + WTERMSIG(status);
    }
    return outcome;
}

}  // namespace mosaiko

// What signals do to the program beyond the ones that end it in order.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "app/TerminationSignals.hpp"

namespace mosaiko::testing {
namespace {

// The X server of a display that went away: the program's next write to it ended the process.
TEST(BrokenPipes, AWriteToAGoneConnectionFailsWhileAProgramStartedStillDiesOfIt) {
    struct sigaction before {};
    ::sigaction(SIGPIPE, nullptr, &before);
    surviveBrokenPipes();

    int ends[2] = {-1, -1};
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    ::close(ends[1]);
    errno = 0;
    EXPECT_EQ(::write(ends[0], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
    ::close(ends[0]);

    const pid_t child = ::fork();
    if (child == 0) {
        ::execl("/bin/sh", "sh", "-c", "kill -PIPE $$; exit 3", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) << "status " << status;

    ::sigaction(SIGPIPE, &before, nullptr);
}

}  // namespace
}  // namespace mosaiko::testing

#include "platform/linux/ProcessInputWait.hpp"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

namespace mosaiko {
namespace {

TEST(ProcessInputWaitTest, ReadsTheWaitOfAnEventLoopAndTheContextSwitches) {
    const struct {
        std::string systemCall;
        bool eventLoop;
    } calls[] = {
        {"270 0x5 0x55e5096d8f80 0x0 0x0 0x0 0x0 0x7ffc 0x7f82", true},  // pselect6 over two
        {std::to_string(SYS_ppoll) + " 0x7ffc 0x3 0x0 0x0 0x8 0x0 0x7ffc 0x7f82", true},
        {std::to_string(SYS_ppoll) + " 0x7ffc 0x1 0x0 0x0 0x8 0x0 0x7ffc 0x7f82",
         false},  // Xlib's reply wait
        {std::to_string(SYS_epoll_pwait) + " 0x4 0x7ffc 0x10 0xffffffff 0x0 0x8 0x7ffc 0x7f82", true},
        {"202 0x7f82 0x80 0x2 0x0 0x0 0x0 0x7ffc 0x7f82", false},  // futex
        {"running", false},
        {"", false},
    };
    for (const auto& call : calls)
        EXPECT_EQ(ProcessInputWait::waitsInEventLoop(call.systemCall), call.eventLoop) << call.systemCall;
    EXPECT_EQ(ProcessInputWait::switchesIn(
                  "Name:\txterm\nvoluntary_ctxt_switches:\t30\nnonvoluntary_ctxt_switches:\t4\n"),
              34u);
    EXPECT_EQ(ProcessInputWait::switchesIn("Name:\txterm\n"), std::nullopt);
}

// A child that sleeps as `sleep` says; killed at the end.
class Child {
  public:
    explicit Child(const std::function<void()>& sleep) : pid_(::fork()) {
        if (pid_ == 0) {
            sleep();
            ::_exit(0);
        }
    }
    ~Child() {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    pid_t pid() const { return pid_; }

    // What /proc tells once the child has gone to sleep (or after a second).
    std::optional<ProcessInputWait> asleep() const {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
            std::string all((std::istreambuf_iterator<char>(stat)), {});
            if (all.find(") S ") != std::string::npos || all.find(") T ") != std::string::npos) break;
        }
        return ProcessInputWait::of(pid_);
    }

  private:
    pid_t pid_;
};

// Only an event loop's wait with nothing left to read counts: not a wait on one descriptor (how a
// client waits for the answer to a request), not a nap, not unread bytes on a socket it holds, and
// not a stopped process.
TEST(ProcessInputWaitTest, OnlyAnEventLoopWithNothingUnreadWaitsForInput) {
    int pipes[2][2];
    ASSERT_EQ(::pipe(pipes[0]), 0);
    ASSERT_EQ(::pipe(pipes[1]), 0);
    auto pollOn = [&](int count) {
        return [&, count] {
            pollfd fds[2] = {{pipes[0][0], POLLIN, 0}, {pipes[1][0], POLLIN, 0}};
            ::poll(fds, static_cast<nfds_t>(count), -1);
        };
    };
    Child idle(pollOn(2)), replyWait(pollOn(1)), nap([] { ::sleep(10); }), stopped(pollOn(2));
    int sockets[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    ASSERT_EQ(::write(sockets[0], "x", 1), 1);  // unread at sockets[1], which this child holds
    Child unread(pollOn(2));
    ASSERT_TRUE(stopped.asleep());
    ::kill(stopped.pid(), SIGSTOP);
    const struct {
        const char* what;
        const Child& child;
        bool waiting;
    } children[] = {{"an event loop", idle, true},
                    {"a wait on one descriptor", replyWait, false},
                    {"a nap", nap, false},
                    {"a stopped event loop", stopped, false},
                    {"an event loop with unread bytes", unread, false}};
    for (const auto& child : children) {
        const auto wait = child.child.asleep();
        ASSERT_TRUE(wait) << child.what;
        EXPECT_EQ(wait->waiting, child.waiting) << child.what;
    }
    ::close(sockets[0]);
    ::close(sockets[1]);
}

}  // namespace
}  // namespace mosaiko

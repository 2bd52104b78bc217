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
#include <vector>

namespace mosaiko {
namespace {

TEST(ProcessInputWaitTest, ReadsTheWaitOfAnEventLoopAndTheContextSwitches) {
    using Call = ProcessInputWait::Call;
    const struct {
        std::string systemCall;
        Call call;
    } calls[] = {
        {"270 0x5 0x55e5096d8f80 0x0 0x0 0x0 0x0 0x7ffc 0x7f82", {Call::eventLoop}},  // pselect6 over two
        {std::to_string(SYS_ppoll) + " 0x7ffc 0x3 0x0 0x0 0x8 0x0 0x7ffc 0x7f82", {Call::eventLoop}},
        {std::to_string(SYS_ppoll) + " 0x7ffc10 0x1 0x0 0x0 0x8 0x0 0x7ffc 0x7f82",
         {Call::onePoll, 0x7ffc10}},
        {std::to_string(SYS_ppoll) + " 0x7ffc10 0x0 0x0 0x0 0x8 0x0 0x7ffc 0x7f82", {}},  // a nap
        {std::to_string(SYS_epoll_pwait) + " 0x4 0x7ffc 0x10 0xffffffff 0x0 0x8 0x7ffc 0x7f82",
         {Call::eventLoop}},
        {"202 0x7f82 0x80 0x2 0x0 0x0 0x0 0x7ffc 0x7f82", {}},  // futex
        {"running", {}},
        {"", {}},
    };
    for (const auto& call : calls)
        EXPECT_EQ(ProcessInputWait::waitIn(call.systemCall), call.call) << call.systemCall;
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

// Only an event loop's wait with nothing left to read counts: not a wait on one socket (how a
// client waits for the answer to a request), not a nap, not unread bytes on a socket it holds, and
// not a stopped process; a wait on one descriptor that is no socket (Qt's or GLib's wake-up) does.
TEST(ProcessInputWaitTest, OnlyAnEventLoopWithNothingUnreadWaitsForInput) {
    int pipes[2][2];
    ASSERT_EQ(::pipe(pipes[0]), 0);
    ASSERT_EQ(::pipe(pipes[1]), 0);
    int connection[2];  // nothing is ever written: a request whose answer has not come
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, connection), 0);
    auto pollOn = [](std::vector<int> descriptors) {
        return [descriptors] {
            std::vector<pollfd> fds;
            for (int fd : descriptors) fds.push_back({fd, POLLIN, 0});
            ::poll(fds.data(), fds.size(), -1);
        };
    };
    const std::vector<int> two{pipes[0][0], pipes[1][0]};
    Child idle(pollOn(two)), wakeUpWait(pollOn({pipes[0][0]})), replyWait(pollOn({connection[0]})),
        nap([] { ::sleep(10); }), stopped(pollOn(two));
    int sockets[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    ASSERT_EQ(::write(sockets[0], "x", 1), 1);  // unread at sockets[1], which this child holds
    Child unread(pollOn(two));
    ASSERT_TRUE(stopped.asleep());
    ::kill(stopped.pid(), SIGSTOP);
    const struct {
        const char* what;
        const Child& child;
        bool waiting;
    } children[] = {{"an event loop", idle, true},
                    {"an event loop on its wake-up descriptor alone", wakeUpWait, true},
                    {"a wait on one socket", replyWait, false},
                    {"a nap", nap, false},
                    {"a stopped event loop", stopped, false},
                    {"an event loop with unread bytes", unread, false}};
    for (const auto& child : children) {
        const auto wait = child.child.asleep();
        ASSERT_TRUE(wait) << child.what;
        EXPECT_EQ(wait->waiting, child.waiting) << child.what;
    }
    for (int fd : {sockets[0], sockets[1], connection[0], connection[1]}) ::close(fd);
}

}  // namespace
}  // namespace mosaiko

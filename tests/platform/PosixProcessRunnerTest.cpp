#include "platform/linux/PosixProcessRunner.hpp"

#include <gtest/gtest.h>
#include <signal.h>

namespace mosaiko {
namespace {

ProcessRunner::Outcome shell(const std::string& script) {
    return PosixProcessRunner().run("/bin/sh", {"-c", script});
}

TEST(PosixProcessRunner, CollectsOutputAndErrorOnOneStreamWithTheExitStatus) {
    const auto outcome = shell("printf one; printf two >&2; printf three; exit 3");
    EXPECT_EQ(outcome.launchError, std::nullopt);
    EXPECT_EQ(outcome.exitStatus, 3);
    EXPECT_EQ(outcome.output, "onetwothree");
}

TEST(PosixProcessRunner, PassesArgumentsVerbatim) {
    const auto outcome = PosixProcessRunner().run("/bin/echo", {"a b", "$HOME", "*"});
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_EQ(outcome.output, "a b $HOME *\n");
}

TEST(PosixProcessRunner, OutputLargerThanThePipeDoesNotDeadlock) {
    // Several megabytes: far more than a pipe holds, so the child can only finish if we read while
    // it writes.
    const auto outcome = shell("head -c 4000000 /dev/zero; exit 0");
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_EQ(outcome.output.size(), 4'000'000u);
}

TEST(PosixProcessRunner, AMissingProgramIsALaunchError) {
    const auto outcome = PosixProcessRunner().run("/nonexistent/tool", {"reset"});
    ASSERT_TRUE(outcome.launchError.has_value());
    EXPECT_NE(outcome.launchError->find("No such file"), std::string::npos) << *outcome.launchError;
}

TEST(PosixProcessRunner, ASignalReadsAs128PlusItsNumber) {
    EXPECT_EQ(shell("kill -TERM $$").exitStatus, 128 + 15);
}

TEST(PosixProcessRunner, TheChildGetsNoStandardInputFromUs) {
    EXPECT_EQ(shell("cat; echo done").output, "done\n");
}

TEST(PosixProcessRunner, ALostExitStatusIsNeverReportedAsSuccess) {
    // With SIGCHLD ignored the kernel reaps the child itself and its status is gone.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGCHLD, &ignore, &previous), 0);
    const auto outcome = shell("printf failed; exit 3");
    ::sigaction(SIGCHLD, &previous, nullptr);
    EXPECT_EQ(outcome.launchError, std::nullopt);
    EXPECT_NE(outcome.exitStatus, 0);
    EXPECT_EQ(outcome.output, "failed");
}

}  // namespace
}  // namespace mosaiko

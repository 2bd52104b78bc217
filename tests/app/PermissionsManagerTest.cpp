#include "app/logic/PermissionsManager.hpp"

#include <gtest/gtest.h>

#include <thread>

#include "platform/fake/FakeProcessRunner.hpp"
#include "platform/fake/ManualMainLoop.hpp"

namespace mosaiko {
namespace {

using Summary = PermissionResetSummary;

Summary commandReset(FakeProcessRunner& runner, std::optional<std::string> bundleID) {
    return PermissionsManager::resetWithCommand(runner)(bundleID);
}

TEST(PermissionsManager, CommandResetRunsTheToolWithServiceAndIdentifier) {
    FakeProcessRunner runner({std::nullopt, 0, "Successfully reset Accessibility\n"});
    EXPECT_EQ(commandReset(runner, "io.example.App"), (Summary{{"Accessibility"}, {}}));
    ASSERT_EQ(runner.invocations.size(), 1u);
    EXPECT_EQ(runner.invocations[0].executable, "/usr/bin/tccutil");
    EXPECT_EQ(runner.invocations[0].arguments,
              (std::vector<std::string>{"reset", "Accessibility", "io.example.App"}));
}

TEST(PermissionsManager, MissingOrEmptyIdentifierStartsNoProcess) {
    FakeProcessRunner runner;
    const Summary expected{{}, {{"BundleID", "Missing bundle identifier for this build."}}};
    EXPECT_EQ(commandReset(runner, std::nullopt), expected);
    EXPECT_EQ(commandReset(runner, ""), expected);
    EXPECT_TRUE(runner.invocations.empty());
}

TEST(PermissionsManager, FailuresCarryTheOutputTheStatusOrTheLaunchError) {
    FakeProcessRunner runner({std::nullopt, 1, ""});
    EXPECT_EQ(commandReset(runner, "id"), (Summary{{}, {{"Accessibility", "tccutil exited with status 1"}}}));

    runner.setOutcome({std::nullopt, 70, "  tccutil: No such bundle identifier\n\n"});
    EXPECT_EQ(commandReset(runner, "id"),
              (Summary{{}, {{"Accessibility", "tccutil: No such bundle identifier"}}}));

    runner.setOutcome({"No such file or directory", 0, ""});
    EXPECT_EQ(commandReset(runner, "id"), (Summary{{}, {{"Accessibility", "No such file or directory"}}}));
}

TEST(PermissionsManager, ErrorMessageRules) {
    EXPECT_EQ(PermissionsManager::tccResetErrorMessage(0, "anything at all"), std::nullopt);
    EXPECT_EQ(PermissionsManager::tccResetErrorMessage(2, " \n\t"), "tccutil exited with status 2");
    EXPECT_EQ(PermissionsManager::tccResetErrorMessage(3, std::string("\xff\xfe bad", 6)),
              "tccutil exited with status 3");
    EXPECT_EQ(PermissionsManager::tccResetErrorMessage(1, "failed\r\n"), "failed");
}

TEST(PermissionsManager, ThisSystemsResetReportsThatNothingCanBeReset) {
    const auto reset = PermissionsManager::resetUnavailable();
    const auto summary = reset("io.github.mosaiko.Mosaiko");
    EXPECT_TRUE(summary.succeededServices.empty());
    ASSERT_EQ(summary.failedServices.size(), 1u);
    EXPECT_EQ(summary.failedServices[0].service, "Accessibility");
    EXPECT_FALSE(summary.failedServices[0].error.empty());
    EXPECT_EQ(reset(std::nullopt).failedServices[0].service, "BundleID");
}

TEST(PermissionsManager, ResetRunsOffTheMainLoopAndResumesOnIt) {
    ManualMainLoop loop;
    std::thread::id workThread;
    std::optional<std::string> seenBundle;
    PermissionsManager manager([](bool) { return false; },
                               [] { return std::optional<std::string>("io.example.App"); },
                               [&](const std::optional<std::string>& id) {
                                   workThread = std::this_thread::get_id();
                                   seenBundle = id;
                                   return Summary{{"Accessibility"}, {}};
                               },
                               [&](std::function<void()> work, std::function<void()> then) {
                                   std::thread(std::move(work)).join();
                                   loop.post(std::move(then));
                               });

    std::optional<Summary> result;
    manager.resetRequiredPermissions([&](Summary s) { result = std::move(s); });
    EXPECT_NE(workThread, std::this_thread::get_id());
    EXPECT_EQ(seenBundle, "io.example.App");
    EXPECT_FALSE(result.has_value());  // not before the main loop runs
    loop.runPending();
    EXPECT_EQ(result, (Summary{{"Accessibility"}, {}}));
}

}  // namespace
}  // namespace mosaiko

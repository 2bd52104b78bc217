#include "app/logic/StartupCheck.hpp"

#include <gtest/gtest.h>

#include <string>

namespace mosaiko {
namespace {

TEST(StartupCheck, OnlyTheX11PlatformNeedsAReachableDisplay) {
    const auto reachable = [](const std::string& name) { return name == ":0"; };
    EXPECT_EQ(StartupCheck::displayProblem(nullptr, ":0", reachable), std::nullopt);
    EXPECT_EQ(StartupCheck::displayProblem("xcb", ":0", reachable), std::nullopt);
    EXPECT_EQ(StartupCheck::displayProblem("offscreen", nullptr, reachable), std::nullopt);
    EXPECT_NE(StartupCheck::displayProblem("", "", reachable), std::nullopt);
    EXPECT_NE(StartupCheck::displayProblem("xcb", ":5", reachable), std::nullopt);
}

}  // namespace
}  // namespace mosaiko

#include "app/logic/AppMenus.hpp"

#include <gtest/gtest.h>

namespace mosaiko {
namespace {

std::vector<std::string> titles(const std::vector<MenuItemSpec>& items) {
    std::vector<std::string> out;
    for (const auto& s : items)
        out.push_back(s.isSeparator() ? "---" : s.title + " [" + s.keyEquivalent + "]");
    return out;
}

TEST(AppMenus, StatusMenuRowsInOrder) {
    const auto items = statusMenuItemSpecs(true, "Quit Mosaiko 1.2");
    const std::vector<std::string> expected{
        "Quick Find [e]",        "Library\u2026 []",           "---",
        "Statistics\u2026 [s]",  "Settings\u2026 [,]",         "Tipps\u2026 [t]",
        "Permissions\u2026 [p]", "Check for Updates\u2026 []", "---",
        "Quit Mosaiko 1.2 [q]"};
    EXPECT_EQ(titles(items), expected);
    EXPECT_EQ(items[0].action, MenuAction::openPicker);
    EXPECT_EQ(items[5].action, MenuAction::openTipps);
    EXPECT_EQ(items[6].action, MenuAction::openOnboarding);
    EXPECT_EQ(items[9].action, MenuAction::quit);
    for (const auto& s : items) EXPECT_EQ(s.isEnabled, !s.isSeparator()) << s.title;
}

TEST(AppMenus, AppMenuHasItsOwnFirstTitleAndOrder) {
    const auto items = appMenuItemSpecs(true, "Quit Mosaiko");
    const std::vector<std::string> expected{
        "Quick Find\u2026 [e]", "Library\u2026 []",      "Settings\u2026 [,]",         "Statistics\u2026 [s]",
        "Tipps\u2026 [t]",      "Permissions\u2026 [p]", "Check for Updates\u2026 []", "---",
        "Quit Mosaiko [q]"};
    EXPECT_EQ(titles(items), expected);
    EXPECT_EQ(items[2].action, MenuAction::openSettings);
    EXPECT_EQ(items[3].action, MenuAction::openStats);
}

TEST(AppMenus, UpdateCheckItemFollowsTheUpdater) {
    for (const auto& items : {statusMenuItemSpecs(false, "q"), appMenuItemSpecs(false, "q")}) {
        for (const auto& s : items) {
            if (s.action == MenuAction::checkForUpdates) {
                EXPECT_FALSE(s.isEnabled);
            } else if (!s.isSeparator()) {
                EXPECT_TRUE(s.isEnabled) << s.title;
            }
        }
    }
}

TEST(AppMenus, QuitTitleAppendsTheTrimmedVersion) {
    EXPECT_EQ(quitMenuItemTitle(std::nullopt), "Quit Mosaiko");
    EXPECT_EQ(quitMenuItemTitle(""), "Quit Mosaiko");
    EXPECT_EQ(quitMenuItemTitle(" \t\n "), "Quit Mosaiko");
    EXPECT_EQ(quitMenuItemTitle("  0.1.0\n"), "Quit Mosaiko 0.1.0");
    EXPECT_EQ(quitMenuItemTitle("2.0 beta"), "Quit Mosaiko 2.0 beta");
}

}  // namespace
}  // namespace mosaiko

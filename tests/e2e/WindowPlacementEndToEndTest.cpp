// Windows open whole on a screen too small for their usual size (1366 x 768, a common laptop's),
// their title bars in reach: smaller than usual, the content scrolling where it must.
// Qt before Xlib (through the session helper): Xlib's macros break Qt's headers.
#include "e2e/SettingsWindowTest.hpp"

namespace mosaiko::testing {
namespace {

class SmallScreen : public SettingsWindowTest {
  protected:
    static constexpr int kHeight = 768;

    void SetUp() override {
        auto options = withTray();
        options.serverArguments = {"-screen", "0", "1366x768x24"};
        startSession(options);
    }
};

TEST_F(SmallScreen, SettingsLibraryAndStatisticsOpenWithinIt) {
    startProgram();
    ASSERT_TRUE(
        session().waitForWindow([](const WindowInfo& w) { return w.className == "trayer" && w.viewable; }));
    const struct {
        int trayItem;
        const char* title;
    } windows[] = {{4, "Mosaiko Settings"}, {2, "Emoji Library"}, {3, "Mosaiko Statistics"}};
    for (const auto& [item, title] : windows) {
        ASSERT_TRUE(chooseFromTrayMenu(item)) << title;
        const auto window = programWindow(title);
        ASSERT_TRUE(window) << title << "\n" << program().output();
        // Room above for the title bar, and the bottom on the screen.
        EXPECT_GE(window->y, 10) << title;
        EXPECT_LE(window->y + window->height, kHeight) << title;
    }
}

}  // namespace
}  // namespace mosaiko::testing

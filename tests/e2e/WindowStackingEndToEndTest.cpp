// Windows asked for while the floating library shows: each opens above the library, with the
// keyboard, however it was asked for (the library's gear and Ctrl+comma, the tray's items); Ctrl+W
// closes each of the program's windows. The library shows its tooltips before a first click.
// Qt before Xlib (through the session helper): Xlib's macros break Qt's headers.
#include "e2e/SettingsWindowTest.hpp"

namespace mosaiko::testing {
namespace {

class WindowStacking : public SettingsWindowTest {
  protected:
    void SetUp() override {
        auto options = withTray();
        // A screen larger than the library, so that the tray beside it stays in reach.
        options.serverArguments = {"-screen", "0", "1600x1000x24"};
        startSession(options);
    }

    std::optional<WindowInfo> library() { return programWindow("Emoji Library"); }

    // Whether `window` is what shows at its own centre, and holds the keyboard.
    bool isInFront(const WindowInfo& window) {
        const int x = window.x + window.width / 2, y = window.y + window.height / 2;
        return waitUntil(
            [&] {
                return session().isWithin(session().windowAt(x, y), window.id) &&
                       session().hasFocus(window.id);
            },
            5);
    }

    // Brings the library back in front, over the window opened before.
    void activateLibrary(const WindowInfo& window) {
        ASSERT_EQ(session().xdotool({"windowactivate", "--sync", std::to_string(window.id)}), 0);
        ASSERT_TRUE(isInFront(window)) << "the library did not come back in front";
    }
};

TEST_F(WindowStacking, WindowsAskedForWhileTheLibraryShowsOpenAboveItAndCtrlWClosesThem) {
    startProgram();
    if (HasFailure()) return;
    // The user types in another program when the library opens.
    if (!startClient(TextClient::Kind::xterm) || HasFailure()) return;
    press({"ctrl+alt+shift+super+F12"});
    const auto shown = library();
    ASSERT_TRUE(shown) << "the shortcut opened no library\n" << program().output();
    // The gear sits in the header's top right corner: 18 from the right edge, 16 from the top,
    // 30 wide and high.
    const auto gear = [](const WindowInfo& w) { return std::pair{w.x + w.width - 18 - 15, w.y + 16 + 15}; };

    // The panel, shown without taking the keyboard, shows the gear's tooltip before any click.
    ASSERT_FALSE(session().hasFocus(shown->id));
    const auto [gearX, gearY] = gear(*shown);
    ASSERT_EQ(session().xdotool({"mousemove", "--sync", std::to_string(gearX), std::to_string(gearY)}), 0);
    EXPECT_TRUE(session().waitForWindow(
        [&](const WindowInfo& w) {  // just below the pointer
            return w.viewable && w.overrideRedirect && w.pid == program().pid() && w.height < 60 &&
                   w.y > gearY && w.y < gearY + 80 && std::abs(w.x - gearX) < 300;
        },
        5))
        << "no tooltip over the gear";

    activateLibrary(*shown);
    if (HasFailure()) return;
    const WindowInfo panel = *library();  // where the window manager placed it
    click(gear(panel).first, gear(panel).second);
    auto settings = programWindow("Mosaiko Settings");
    ASSERT_TRUE(settings) << "the gear opened no settings window";
    EXPECT_TRUE(isInFront(*settings)) << "settings from the gear stayed under the library";

    activateLibrary(panel);
    press({"ctrl+comma"});
    EXPECT_TRUE(isInFront(*programWindow("Mosaiko Settings")))
        << "settings from Ctrl+, stayed under the library";

    // The tray menu's items, counted from the top: 3 Statistics…, 4 Settings…, 5 Tipps….
    const struct {
        int position;
        const char* title;
    } trayItems[] = {{4, "Mosaiko Settings"}, {3, "Mosaiko Statistics"}, {5, "Mosaiko Guide"}};
    for (const auto& item : trayItems) {
        activateLibrary(panel);
        ASSERT_TRUE(chooseFromTrayMenu(item.position)) << "no tray menu";
        const auto window = programWindow(item.title);
        ASSERT_TRUE(window) << item.title << " did not open from the tray";
        EXPECT_TRUE(isInFront(*window)) << item.title << " from the tray stayed under the library";
    }

    // Ctrl+W closes the window that has the keyboard: the guide, statistics, settings, the library.
    for (const char* title : {"Mosaiko Guide", "Mosaiko Statistics", "Mosaiko Settings", "Emoji Library"}) {
        const auto window = programWindow(title);
        ASSERT_TRUE(window) << title;
        ASSERT_TRUE(session().focus(window->id)) << title;
        press({"ctrl+w"});
        EXPECT_TRUE(waitUntilClosed(title)) << "Ctrl+W left " << title << " open";
    }
}

}  // namespace
}  // namespace mosaiko::testing

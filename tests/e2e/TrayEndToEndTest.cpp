// The program's icon in a real system tray (trayer): its menu's "Quick Find" opens the picker with an
// empty query, and what is typed then is inserted into the application the user was typing in.
#include "e2e/DesktopTest.hpp"

namespace mosaiko::testing {
namespace {

class Tray : public DesktopTest {
  protected:
    void SetUp() override { startSession(withTray()); }

    // The program's icon once the tray has placed it: the tray embeds, moves and sizes an icon after
    // it first shows, and a click meanwhile lands beside it. Placed: where it was a fifth of a second
    // before.
    std::optional<WindowInfo> placedIcon(const std::function<bool(const WindowInfo&)>& matches) {
        std::optional<WindowInfo> before, placed;
        waitUntil([&] {
            const auto now = session().findWindow(matches);
            const bool still = now && before && now->id == before->id && now->x == before->x &&
                               now->y == before->y && now->width == before->width &&
                               now->height == before->height;
            if (still) placed = now;
            before = now;
            if (!still) waitFor(0.2);
            return still;
        });
        return placed;
    }
};

TEST_F(Tray, QuickFindFromTheTrayMenuOpensThePanelAndInsertsWhereTheUserTyped) {
    const MemoryDefaults user = RunningProgram::returningUser();
    PickerOracle oracle(user);
    TextClient* client = startClient(TextClient::Kind::xterm);
    if (!client || HasFailure()) return;
    startProgram(user);
    if (HasFailure()) return;
    EXPECT_EQ(program().output().find("no system tray"), std::string::npos) << program().output();

    const auto tray =
        session().findWindow([](const WindowInfo& w) { return w.className == "trayer" && w.viewable; });
    ASSERT_TRUE(tray) << "trayer shows no window";
    const auto icon = placedIcon([&](const WindowInfo& w) {
        return w.className == RunningProgram::kAppId && w.pid == program().pid() && w.viewable &&
               w.width <= 64 && w.height <= 64 && session().isWithin(w.id, tray->id);
    });
    ASSERT_TRUE(icon) << "no icon in the tray";

    click(icon->x + icon->width / 2, icon->y + icon->height / 2);
    const auto menu = session().waitForWindow([&](const WindowInfo& w) {
        return w.className == RunningProgram::kAppId && w.pid == program().pid() && w.viewable &&
               w.overrideRedirect && w.id != icon->id && w.name != "Quick Find" && w.height > 100;
    });
    ASSERT_TRUE(menu) << "a click on the icon opened no menu";
    EXPECT_FALSE(program().panel());

    // "Quick Find" is the menu's first item.
    click(menu->x + menu->width / 2, menu->y + 12);
    ASSERT_TRUE(program().waitForPanel(true)) << "\"Quick Find\" opened no panel";
    EXPECT_TRUE(waitUntil([&] {
        return !session().findWindow([&](const WindowInfo& w) { return w.id == menu->id && w.viewable; });
    })) << "the menu stayed open";
    oracle.openQuickFind();
    ASSERT_TRUE(oracle.panelShown());

    // The terminal kept the focus; the query goes to the picker only, Return types the result there.
    ASSERT_TRUE(session().hasFocus(client->window()));
    type("smi");
    press({"Return"});
    oracle.type("smi⏎");
    const std::string inserted = oracle.takeInsertedText();
    ASSERT_FALSE(inserted.empty());
    EXPECT_TRUE(program().waitForPanel(false));
    const std::string expected = inserted + client->finishLine();
    EXPECT_TRUE(holdsText(*client, expected));
}

// A click soon after the last one, as the second of a double click, opens the menu all the same.
TEST_F(Tray, AClickRightAfterTheMenuClosedOpensItAgain) {
    startProgram();
    if (HasFailure()) return;
    const auto icon = placedIcon([&](const WindowInfo& w) {
        return w.className == RunningProgram::kAppId && w.pid == program().pid() && w.viewable &&
               w.width <= 64 && w.height <= 64;
    });
    ASSERT_TRUE(icon) << "no icon in the tray";
    auto menuShows = [&](bool shows) {
        return waitUntil([&] {
            return session()
                       .findWindow([&](const WindowInfo& w) {
                           return w.pid == program().pid() && w.viewable && w.overrideRedirect &&
                                  w.height > 100;
                       })
                       .has_value() == shows;
        });
    };
    for (const char* which : {"first", "second"}) {
        click(icon->x + icon->width / 2, icon->y + icon->height / 2);
        ASSERT_TRUE(menuShows(true)) << "no menu after the " << which << " click";
        press({"Escape"});
        ASSERT_TRUE(menuShows(false)) << "Escape left the menu open";
    }
}

}  // namespace
}  // namespace mosaiko::testing

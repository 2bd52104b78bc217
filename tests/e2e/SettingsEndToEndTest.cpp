// The settings window of the running program, used with real key presses and clicks: the trigger
// changed there is the one the picker answers at once, and a library shortcut recorded there from
// the keyboard opens the library from another application.
// Qt before Xlib (through the session helper): Xlib's macros break Qt's headers.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QVBoxLayout>

#include "app/WindowControllers.hpp"
#include "platform/x11/QtKeyEventReader.hpp"
#include "settings/ui/GeneralTab.hpp"
#include "settings/ui/OpenModesCard.hpp"
#include "settings/ui/SettingsView.hpp"

#include "e2e/DesktopTest.hpp"

namespace {

using mosaiko::MemoryDefaults;
using mosaiko::OpenModesCard;
using mosaiko::PreferencesStore;
using mosaiko::PreferencesWindowController;
using mosaiko::SettingsView;
using mosaiko::testing::described;
using mosaiko::testing::DesktopTest;
using mosaiko::testing::PickerOracle;
using mosaiko::testing::RunningProgram;
using mosaiko::testing::TextClient;
using mosaiko::testing::waitUntil;
using mosaiko::testing::WindowInfo;

class SettingsWindow : public DesktopTest {
  protected:
    void SetUp() override {
        auto options = withWindowManager();
        options.tray = true;
        // A combination another program holds: the window manager's.
        options.windowManagerKeyBindings = "<keybind key=\"W-y\"><action name=\"Unshade\"/></keybind>";
        startSession(options);
    }

    void click(int x, int y) {
        ASSERT_EQ(0, session().xdotool(
                         {"mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"}));
    }

    std::optional<WindowInfo> programWindow(const std::string& title, double seconds = 10) {
        return session().waitForWindow(
            [&](const WindowInfo& w) { return w.viewable && w.name == title && w.pid == program().pid(); },
            seconds);
    }

    // "Settings…" of the tray icon's menu, chosen from the keyboard.
    std::optional<WindowInfo> openSettings() {
        const auto tray =
            session().findWindow([](const WindowInfo& w) { return w.className == "trayer" && w.viewable; });
        if (!tray) return std::nullopt;
        const auto icon = session().waitForWindow([&](const WindowInfo& w) {
            return w.className == RunningProgram::kAppId && w.pid == program().pid() && w.viewable &&
                   w.width <= 64 && w.height <= 64 && session().isWithin(w.id, tray->id);
        });
        if (!icon) return std::nullopt;
        click(icon->x + icon->width / 2, icon->y + icon->height / 2);
        const auto menu = session().waitForWindow([&](const WindowInfo& w) {
            return w.className == RunningProgram::kAppId && w.pid == program().pid() && w.viewable &&
                   w.overrideRedirect && w.height > 100;
        });
        if (!menu) return std::nullopt;
        // Quick Find, Library…, Statistics…, Settings…
        press({"Down", "Down", "Down", "Down", "Return"});
        return programWindow("Mosaiko Settings");
    }

    // Where a button of the settings window lies in it, found on a copy of the window laid out the
    // same way in this process, over the same settings.
    QPoint offsetOf(const MemoryDefaults& user, QAbstractButton* (*find)(OpenModesCard&)) {
        MemoryDefaults defaults(user.values());
        PreferencesStore prefs(defaults);
        PreferencesWindowController controller;
        SettingsView::Dependencies d;
        d.prefs = &prefs;
        d.keyEventOf = &mosaiko::QtKeyEventReader::read;
        auto* layout = new QVBoxLayout(controller.contentHost());
        layout->setContentsMargins(0, 0, 0, 0);
        auto* view = new SettingsView(std::move(d), controller.contentHost());
        layout->addWidget(view);
        controller.window()->show();
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
        auto* general = static_cast<mosaiko::GeneralTab*>(view->tabContent(SettingsView::Tab::general));
        QAbstractButton* button = find(*general->openModesCard());
        return button->mapTo(controller.window(), button->rect().center());
    }

    void clickIn(const WindowInfo& window, QPoint offset) {
        click(window.x + offset.x(), window.y + offset.y());
    }
};

TEST_F(SettingsWindow, ANewTriggerAndARecordedLibraryShortcutWorkAtOnce) {
    const MemoryDefaults user = RunningProgram::returningUser();
    TextClient* client = startClient(TextClient::Kind::xterm);
    if (!client || HasFailure()) return;
    startProgram(user);
    if (HasFailure()) return;

    const auto settings = openSettings();
    ASSERT_TRUE(settings) << "no settings window from the tray menu\n" << program().output();

    // The trigger: the sheet opens with the trigger selected, so typing replaces it.
    clickIn(*settings,
            offsetOf(user, [](OpenModesCard& c) -> QAbstractButton* { return c.inlineSearchEditButton(); }));
    ASSERT_TRUE(programWindow("Custom Inline Search")) << "\"Edit...\" opened no sheet";
    type("::");
    press({"Return"});
    ASSERT_TRUE(waitUntil([&] {
        return !session().findWindow([&](const WindowInfo& w) {
            return w.viewable && w.name == "Custom Inline Search" && w.pid == program().pid();
        });
    })) << "Return did not confirm";

    // The library shortcut, from real key presses.
    clickIn(*settings, offsetOf(user, [](OpenModesCard& c) -> QAbstractButton* {
        return c.libraryShortcutEditButton();
    }));
    const auto sheet = programWindow("Record Library Shortcut");
    ASSERT_TRUE(sheet) << "\"Set Shortcut...\" opened no sheet";
    // The window manager's combination never reaches the sheet: it says so (a line more) and stays.
    press({"super+y"});
    EXPECT_TRUE(waitUntil([&] {
        const auto now = session().findWindow([&](const WindowInfo& w) { return w.id == sheet->id; });
        return now && now->viewable && now->height > sheet->height;
    })) << "no word of the taken combination";
    press({"ctrl+alt+m"});
    ASSERT_TRUE(waitUntil([&] {
        return !session().findWindow([&](const WindowInfo& w) {
            return w.viewable && w.name == "Record Library Shortcut" && w.pid == program().pid();
        });
    })) << "the combination was not recorded";

    // In the terminal: the new trigger searches, the old one types itself.
    ASSERT_TRUE(client->focus());
    MemoryDefaults changed(user.values());
    changed.set("inlineTrigger", std::string("::"));
    PickerOracle oracle(changed);
    type("a;smi ::smi");
    oracle.type("a;smi ::smi");
    oracle.wait(0.4);
    ASSERT_TRUE(program().waitForPanel(true)) << "no panel after \"::smi\"";
    press({"Return"});
    oracle.type("⏎");
    const std::string inserted = oracle.takeInsertedText();
    ASSERT_FALSE(inserted.empty());
    EXPECT_TRUE(program().waitForPanel(false));
    const std::string expected = "a;smi " + inserted + client->finishLine();
    EXPECT_TRUE(client->waitForText(expected))
        << described(client->text()) << " instead of " << described(expected);

    press({"ctrl+alt+m"});
    EXPECT_TRUE(programWindow("Emoji Library")) << "the recorded shortcut opened no library";
}

}  // namespace

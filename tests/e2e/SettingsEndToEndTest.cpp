// The settings window of the running program, used with real key presses and clicks: the trigger
// changed there is the one the picker answers at once, and a library shortcut recorded there from
// the keyboard opens the library from another application. Minimised, the library and the settings
// window come back from the tray menu, raised and active.
// Qt before Xlib (through the session helper): Xlib's macros break Qt's headers.
#include <QAbstractButton>
#include <algorithm>

#include "settings/ui/GeneralTab.hpp"
#include "settings/ui/OpenModesCard.hpp"

#include "e2e/SettingsWindowTest.hpp"

namespace mosaiko::testing {
namespace {

class SettingsWindow : public SettingsWindowTest {
  protected:
    void SetUp() override {
        auto options = withTray();
        // A combination another program holds: the window manager's.
        options.windowManagerKeyBindings = "<keybind key=\"W-y\"><action name=\"Unshade\"/></keybind>";
        startSession(options);
    }

    // Where a button of the Open Modes card lies in the settings window.
    QPoint offsetOf(const MemoryDefaults& user, QAbstractButton* (*find)(OpenModesCard&)) {
        return offsetIn(user, SettingsView::Tab::general, [find](SettingsView& view) -> QWidget* {
            auto* general = static_cast<GeneralTab*>(view.tabContent(SettingsView::Tab::general));
            return find(*general->openModesCard());
        });
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
    // A button focused by Tab does not keep the combination from the recorder.
    press({"Tab"});
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
    EXPECT_TRUE(holdsText(*client, expected));

    press({"ctrl+alt+m"});
    const auto library = programWindow("Emoji Library");
    ASSERT_TRUE(library) << "the recorded shortcut opened no library";

    // Minimised, each window comes back from what opens it, shown, raised and active.
    const auto shownAndActive = [&](Window window) {
        return waitUntil([&] {
            const auto now = session().findWindow([&](const WindowInfo& w) { return w.id == window; });
            return now && now->viewable && session().hasFocus(window);
        });
    };
    const auto isAbove = [&](Window upper, Window lower) {
        const auto all = session().windows();  // bottom to top
        const auto at = [&](Window w) {
            return std::find_if(all.begin(), all.end(), [&](const WindowInfo& i) { return i.id == w; });
        };
        return at(lower) < at(upper) && at(upper) != all.end();
    };
    ASSERT_EQ(0, session().xdotool({"windowminimize", "--sync", std::to_string(library->id)}));
    ASSERT_TRUE(chooseFromTrayMenu(2));  // "Library…"
    EXPECT_TRUE(shownAndActive(library->id)) << "the minimised library did not come back";
    press({"Escape"});  // its frame, kept above, would cover the tray
    ASSERT_TRUE(waitUntilClosed("Emoji Library"));
    ASSERT_TRUE(client->focus());
    ASSERT_TRUE(isAbove(client->window(), settings->id));
    ASSERT_EQ(0, session().xdotool({"windowminimize", "--sync", std::to_string(settings->id)}));
    ASSERT_TRUE(openSettings()) << "the minimised settings window did not come back";
    EXPECT_TRUE(shownAndActive(settings->id));
    EXPECT_TRUE(isAbove(settings->id, client->window()));
}

}  // namespace
}  // namespace mosaiko::testing

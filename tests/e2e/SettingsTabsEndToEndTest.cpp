// The content tabs of the running program's settings window, used with real clicks and keys: a
// snippet added in Shortcodes is inserted by its shortcode at once, and an application excluded
// through the running-applications picker gets no inline search any more.
// Qt before Xlib (through the session helper): Xlib's macros break Qt's headers.
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <filesystem>

#include "platform/linux/FileDefaults.hpp"
#include "settings/ui/ExcludedAppsTab.hpp"
#include "settings/ui/RunningAppsPickerView.hpp"
#include "settings/ui/SnippetsManageView.hpp"

#include "e2e/SettingsWindowTest.hpp"

namespace mosaiko::testing {
namespace {

using Tab = SettingsView::Tab;

class SettingsTabsWindow : public SettingsWindowTest {
  protected:
    QPoint tabOffset(const MemoryDefaults& user, Tab tab) {
        return offsetIn(user, tab, [tab](SettingsView& view) -> QWidget* {
            // The tab's label, as a widget of its own size at its place in the tab bar.
            QTabBar* bar = view.tabWidget()->tabBar();
            auto* marker = new QWidget(bar);
            marker->setGeometry(bar->tabRect(static_cast<int>(tab)));
            return marker;
        });
    }

    template <class Content>
    QPoint controlOffset(const MemoryDefaults& user, Tab tab, std::function<QWidget*(Content&)> find) {
        return offsetIn(user, tab, [&find, tab](SettingsView& view) {
            return find(*static_cast<Content*>(view.tabContent(tab)));
        });
    }

    // A place in the running-applications sheet, on a copy showing one row.
    static QPoint sheetOffset(QPoint (*find)(RunningAppsPickerView&)) {
        RunningAppsPickerView sheet({}, [] {
            return std::vector<RunningAppsPickerView::Snapshot>{{"App", "app"}};
        });
        sheet.show();
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
        return find(sheet);
    }

    // The user's defaults as the program has written them by now (read from a copy of its file).
    MemoryDefaults writtenDefaults() {
        const auto copy = session().scratchDirectory() / "defaults-copy.json";
        std::filesystem::copy_file(RunningProgram::defaultsFile(session()), copy,
                                   std::filesystem::copy_options::overwrite_existing);
        FileDefaults file(copy);
        return MemoryDefaults(file.values());
    }
};

TEST_F(SettingsTabsWindow, ANewSnippetIsInsertedByItsShortcodeAndAnExcludedClientGetsNoInlineSearch) {
    const MemoryDefaults user = RunningProgram::returningUser();
    TextClient* client = startClient(TextClient::Kind::xterm);
    if (!client || HasFailure()) return;
    startProgram(user);
    if (HasFailure()) return;

    // A snippet, typed into the Shortcodes tab's form.
    auto settings = openSettings();
    ASSERT_TRUE(settings) << "no settings window from the tray menu\n" << program().output();
    clickIn(*settings, tabOffset(user, Tab::shortcodes));
    const auto field = [&](QLineEdit* (SnippetsManageView::*which)() const, const std::string& text) {
        clickIn(*settings,
                controlOffset<SnippetsManageView>(user, Tab::shortcodes, [which](SnippetsManageView& v) {
                    return static_cast<QWidget*>((v.*which)());
                }));
        type(text);
    };
    field(&SnippetsManageView::nameField, "Signature");
    field(&SnippetsManageView::shortcodesField, "sig");
    field(&SnippetsManageView::insertTextField, "Best regards");
    clickIn(*settings, controlOffset<SnippetsManageView>(user, Tab::shortcodes, [](SnippetsManageView& v) {
        return static_cast<QWidget*>(v.addButton());
    }));
    ASSERT_TRUE(waitUntil([&] {
        MemoryDefaults written = writtenDefaults();
        const auto snippets = CustomContentStore(written).snippets();
        return snippets.size() == 1 && snippets[0].insertText == "Best regards";
    })) << "the snippet was not stored";

    // Found by its shortcode at once.
    PickerOracle oracle(writtenDefaults());
    ASSERT_TRUE(client->focus());
    type(";sig");
    oracle.type(";sig");
    oracle.wait(0.4);
    ASSERT_TRUE(program().waitForPanel(true)) << "no panel after \";sig\"";
    press({"Return"});
    oracle.type("⏎");
    EXPECT_EQ(oracle.takeInsertedText(), "Best regards") << "the snippet is the first result";
    EXPECT_TRUE(program().waitForPanel(false));
    EXPECT_TRUE(holdsText(*client, "Best regards" + client->finishLine()));

    // The terminal excluded through the running-applications picker.
    settings = openSettings();
    ASSERT_TRUE(settings);
    clickIn(*settings, tabOffset(user, Tab::excludedApps));
    clickIn(*settings, controlOffset<ExcludedAppsTab>(user, Tab::excludedApps, [](ExcludedAppsTab& t) {
        return static_cast<QWidget*>(t.addRunningAppButton());
    }));
    const auto sheet = programWindow("Running Apps");
    ASSERT_TRUE(sheet) << "\"Add Running App…\" opened no sheet";
    type("xterm");  // the search field has the focus: one row is left
    clickIn(*sheet, sheetOffset([](RunningAppsPickerView& s) {
        const QRect row = s.list()->visualItemRect(s.list()->item(0));
        return s.list()->viewport()->mapTo(&s, row.center());
    }));
    clickIn(*sheet, sheetOffset([](RunningAppsPickerView& s) {
        return s.addButton()->mapTo(&s, s.addButton()->rect().center());
    }));
    ASSERT_TRUE(waitUntilClosed("Running Apps")) << "\"Add Selected\" did not close the sheet";
    ASSERT_TRUE(waitUntil([&] {
        MemoryDefaults written = writtenDefaults();
        return !PreferencesStore(written).excludedApps().empty();
    })) << "nothing was excluded";

    ASSERT_TRUE(client->focus());
    type(";smi");
    EXPECT_FALSE(program().waitForPanel(true, 2)) << "the excluded terminal still opens the panel";
    const std::string expected = "Best regards\n;smi" + client->finishLine();
    EXPECT_TRUE(holdsText(*client, expected));
}

}  // namespace
}  // namespace mosaiko::testing

#pragma once
// The base of the settings window's end-to-end tests: a desktop with a window manager and a tray,
// the settings window opened from the tray menu, and clicks on its controls at the places a copy of
// the window, laid out the same way in this process over the same settings, shows them.
// Qt before Xlib (through the session helper): Xlib's macros break Qt's headers.
#include <QCoreApplication>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWidget>
#include <functional>

#include "app/WindowControllers.hpp"
#include "content/CollectionsStore.hpp"
#include "content/CustomContentStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "platform/linux/XdgAutostartService.hpp"
#include "platform/x11/QtKeyEventReader.hpp"
#include "settings/ui/SettingsView.hpp"

#include "e2e/DesktopTest.hpp"

namespace mosaiko::testing {

class SettingsWindowTest : public DesktopTest {
  protected:
    void SetUp() override { startSession(withTray()); }

    std::optional<WindowInfo> programWindow(const std::string& title, double seconds = 10) {
        return session().waitForWindow(
            [&](const WindowInfo& w) { return w.viewable && w.name == title && w.pid == program().pid(); },
            seconds);
    }

    bool waitUntilClosed(const std::string& title) {
        return waitUntil([&] {
            return !session().findWindow([&](const WindowInfo& w) {
                return w.viewable && w.name == title && w.pid == program().pid();
            });
        });
    }

    // The item at `position` (from 1: Quick Find, Library…, Statistics…, Settings…) of the tray
    // icon's menu, chosen from the keyboard.
    ::testing::AssertionResult chooseFromTrayMenu(int position) {
        const auto tray =
            session().findWindow([](const WindowInfo& w) { return w.className == "trayer" && w.viewable; });
        if (!tray) return ::testing::AssertionFailure() << "no tray";
        const auto icon = session().waitForWindow([&](const WindowInfo& w) {
            return w.className == RunningProgram::kAppId && w.pid == program().pid() && w.viewable &&
                   w.width <= 64 && w.height <= 64 && session().isWithin(w.id, tray->id);
        });
        if (!icon) return ::testing::AssertionFailure() << "no icon in the tray";
        // A window that was on top there may still be going.
        const int x = icon->x + icon->width / 2, y = icon->y + icon->height / 2;
        if (!waitUntil([&] { return session().isWithin(session().windowAt(x, y), icon->id); }))
            return ::testing::AssertionFailure() << "the icon stays covered at " << x << "," << y;
        click(x, y);
        const auto menu = session().waitForWindow([&](const WindowInfo& w) {
            return w.className == RunningProgram::kAppId && w.pid == program().pid() && w.viewable &&
                   w.overrideRedirect && w.height > 100;
        });
        if (!menu) {
            auto failure = ::testing::AssertionFailure();
            failure << "no menu after a click at " << x << "," << y << "; the program's windows:";
            for (const auto& w : session().windows()) {
                if (w.pid != program().pid()) continue;
                failure << "\n  '" << w.name << "' " << w.width << "x" << w.height << "+" << w.x << "+" << w.y
                        << (w.viewable ? " viewable" : "") << (w.overrideRedirect ? " popup" : "");
            }
            return failure << "\n" << program().output();
        }
        std::vector<std::string> keys(position, "Down");
        keys.push_back("Return");
        press(keys);
        return ::testing::AssertionSuccess();
    }

    std::optional<WindowInfo> openSettings() {
        if (!chooseFromTrayMenu(4)) return std::nullopt;
        return programWindow("Mosaiko Settings");
    }

    // Where a control of the settings window lies in it with `tab` shown: found by `find` on the
    // copy of the window.
    QPoint offsetIn(const MemoryDefaults& user, SettingsView::Tab tab,
                    const std::function<QWidget*(SettingsView&)>& find) {
        MemoryDefaults defaults(user.values());
        PreferencesStore prefs(defaults);
        CollectionsStore collections(defaults);
        CustomContentStore custom(defaults);
        EmojiDatabase db({}, {}, OperatingSystemVersion{99, 0, 0});
        PreferencesWindowController controller;
        SettingsView::Dependencies d;
        d.prefs = &prefs;
        d.collections = &collections;
        d.custom = &custom;
        d.db = &db;
        d.keyEventOf = &QtKeyEventReader::read;
        // The program runs from its build folder: its "Launch at login" says why it is off.
        d.shell.launchAtLoginUnavailableReason = [] {
            return XdgAutostartService("/nonexistent", "x", "x", RunningProgram::program())
                .unavailableReason();
        };
        auto* layout = new QVBoxLayout(controller.contentHost());
        layout->setContentsMargins(0, 0, 0, 0);
        auto* view = new SettingsView(std::move(d), controller.contentHost());
        layout->addWidget(view);
        controller.window()->show();
        view->tabWidget()->setCurrentIndex(static_cast<int>(tab));
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
        QWidget* control = find(*view);
        return control->mapTo(controller.window(), control->rect().center());
    }

    void clickIn(const WindowInfo& window, QPoint offset) {
        click(window.x + offset.x(), window.y + offset.y());
    }
};

}  // namespace mosaiko::testing

#pragma once

#include <QKeySequence>
#include <functional>
#include <vector>

#include "app/logic/AppMenus.hpp"

class QMenu;
class QMenuBar;
class QWidget;

namespace mosaiko {

// Builds Qt menus from the menu tables; every command goes to `dispatch`.
class AppMenuBuilder {
  public:
    using Dispatch = std::function<void(MenuAction)>;

    // The tray's menu, without shortcuts.
    static QMenu* makeStatusMenu(bool canCheckForUpdates, const std::string& quitTitle,
                                 const Dispatch& dispatch, QWidget* parent = nullptr);
    // The application menu ("Mosaiko" with the commands, "Edit" with cut, copy, paste and select
    // all acting on the focused text field).
    static QMenuBar* makeAppMainMenu(bool canCheckForUpdates, const std::string& quitTitle,
                                     const Dispatch& dispatch, QWidget* parent = nullptr);

    // Ctrl plus the key: the key equivalents of this desktop.
    static QKeySequence shortcut(const std::string& keyEquivalent);

  private:
    static void fill(QMenu* menu, const std::vector<MenuItemSpec>& items, const Dispatch& dispatch,
                     bool withShortcuts);
};

}  // namespace mosaiko

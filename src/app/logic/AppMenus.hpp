#pragma once

#include <optional>
#include <string>
#include <vector>

namespace mosaiko {

// The commands of the status menu and the application menu.
enum class MenuAction {
    openPicker,
    openLibrary,
    openSettings,
    openStats,
    openTipps,
    openOnboarding,
    checkForUpdates,
    quit
};

// One menu row; no action makes it a separator.
struct MenuItemSpec {
    std::string title;
    std::optional<MenuAction> action;
    std::string keyEquivalent;
    bool isEnabled = false;

    bool isSeparator() const { return !action.has_value(); }
    bool operator==(const MenuItemSpec&) const = default;
};

// The rows of the tray's menu and of the application menu, both built once at launch.
std::vector<MenuItemSpec> statusMenuItemSpecs(bool canCheckForUpdates, const std::string& quitMenuItemTitle);
std::vector<MenuItemSpec> appMenuItemSpecs(bool canCheckForUpdates, const std::string& quitMenuItemTitle);

// "Quit Mosaiko" followed by the trimmed version when there is one.
std::string quitMenuItemTitle(const std::optional<std::string>& versionString);

}  // namespace mosaiko

#include "app/logic/AppMenus.hpp"

#include "platform/Text.hpp"

namespace mosaiko {

namespace {

MenuItemSpec item(std::string title, MenuAction action, std::string key, bool enabled = true) {
    return MenuItemSpec{std::move(title), action, std::move(key), enabled};
}

MenuItemSpec separator() {
    return MenuItemSpec{"", std::nullopt, "", false};
}

}  // namespace

std::vector<MenuItemSpec> statusMenuItemSpecs(bool canCheckForUpdates, const std::string& quitTitle) {
    return {
        item("Quick Find", MenuAction::openPicker, "e"),
        item("Library\u2026", MenuAction::openLibrary, ""),
        separator(),
        item("Statistics\u2026", MenuAction::openStats, "s"),
        item("Settings\u2026", MenuAction::openSettings, ","),
        item("Tipps\u2026", MenuAction::openTipps, "t"),
        item("Permissions\u2026", MenuAction::openOnboarding, "p"),
        item("Check for Updates\u2026", MenuAction::checkForUpdates, "", canCheckForUpdates),
        separator(),
        item(quitTitle, MenuAction::quit, "q"),
    };
}

std::vector<MenuItemSpec> appMenuItemSpecs(bool canCheckForUpdates, const std::string& quitTitle) {
    return {
        item("Quick Find\u2026", MenuAction::openPicker, "e"),
        item("Library\u2026", MenuAction::openLibrary, ""),
        item("Settings\u2026", MenuAction::openSettings, ","),
        item("Statistics\u2026", MenuAction::openStats, "s"),
        item("Tipps\u2026", MenuAction::openTipps, "t"),
        item("Permissions\u2026", MenuAction::openOnboarding, "p"),
        item("Check for Updates\u2026", MenuAction::checkForUpdates, "", canCheckForUpdates),
        separator(),
        item(quitTitle, MenuAction::quit, "q"),
    };
}

std::string quitMenuItemTitle(const std::optional<std::string>& versionString) {
    const std::string version = versionString ? text::trimmed(*versionString) : std::string();
    if (version.empty()) return "Quit Mosaiko";
    return "Quit Mosaiko " + version;
}

}  // namespace mosaiko

#include "settings/SettingsState.hpp"

#include <algorithm>
#include <cmath>

#include "settings/ExcludedAppsRules.hpp"
#include "settings/OpenModeRules.hpp"

namespace mosaiko {

SettingsState::SettingsState(PreferencesStore& prefs) : prefs_(prefs) {
    // While the editor is closed its blocklist draft follows the store; while it is open the
    // entries being edited stay as they are.
    blocklistObservation_ =
        prefs_.openingSequenceBlocklist.observe([this](const std::vector<std::string>& list) {
            if (isShowingCustomSearchTriggerSheet_) return;
            customSearchTriggerBlocklistDraft_ = list;
            changed();
        });
}

void SettingsState::changed() {
    revision.set(revision() + 1);
}

void SettingsState::setNotice(std::optional<std::string> notice) {
    shortcutCollisionNotice_ = std::move(notice);
}

std::optional<std::string> SettingsState::pendingCustomSearchTrigger() const {
    return OpenModeRules::pendingTrigger(customSearchTriggerDraft_);
}

std::optional<std::string> SettingsState::pendingBlocklistEntry() const {
    return OpenModeRules::pendingBlocklistEntry(blocklistEntryDraft_);
}

bool SettingsState::canAddPendingBlocklistEntry() const {
    return OpenModeRules::canAddBlocklistEntry(customSearchTriggerBlocklistDraft_, pendingBlocklistEntry());
}

void SettingsState::selectTab(Tab tab) {
    if (tab_ == tab) return;
    tab_ = tab;
    changed();
}

// ---------------------------------------------------------------- the trigger editor

void SettingsState::prepareCustomSearchTriggerEditor() {
    customSearchTriggerDraft_ = prefs_.inlineTrigger();
    customSearchTriggerBlocklistDraft_ = prefs_.openingSequenceBlocklist();
    blocklistEntryDraft_.clear();
    changed();
}

void SettingsState::openCustomSearchTriggerEditor() {
    prepareCustomSearchTriggerEditor();
    isShowingCustomSearchTriggerSheet_ = true;
    changed();
}

void SettingsState::setCustomSearchTriggerDraft(std::string draft) {
    if (customSearchTriggerDraft_ == draft) return;
    customSearchTriggerDraft_ = std::move(draft);
    changed();
}

void SettingsState::setBlocklistEntryDraft(std::string draft) {
    if (blocklistEntryDraft_ == draft) return;
    blocklistEntryDraft_ = std::move(draft);
    changed();
}

void SettingsState::addOpeningSequenceBlocklistEntry() {
    customSearchTriggerBlocklistDraft_ = OpenModeRules::blocklistEntriesAfterAdding(
        customSearchTriggerBlocklistDraft_, pendingBlocklistEntry());
    blocklistEntryDraft_.clear();
    changed();
}

void SettingsState::removeOpeningSequenceBlocklistEntry(const std::string& entry) {
    customSearchTriggerBlocklistDraft_ =
        OpenModeRules::blocklistEntriesAfterRemoving(customSearchTriggerBlocklistDraft_, entry);
    changed();
}

void SettingsState::confirmCustomSearchTrigger() {
    const auto trigger = pendingCustomSearchTrigger();
    if (!trigger) return;
    prefs_.setOpeningSequenceBlocklist(customSearchTriggerBlocklistDraft_);

    const auto before = OpenModeRules::sequence(prefs_.quickOpenShortcut());
    prefs_.setInlineTrigger(*trigger);
    const auto after = OpenModeRules::sequence(prefs_.quickOpenShortcut());
    if (before == after) {
        setNotice(std::nullopt);
    } else {
        setNotice(OpenModeRules::inlineTriggerCollisionNotice(*trigger, after));
    }
    isShowingCustomSearchTriggerSheet_ = false;
    // Closing the sheet reloads the drafts, so they show the trigger as the store cleaned it.
    prepareCustomSearchTriggerEditor();
}

void SettingsState::cancelCustomSearchTriggerEditor() {
    prepareCustomSearchTriggerEditor();
    isShowingCustomSearchTriggerSheet_ = false;
    changed();
}

void SettingsState::customSearchTriggerSheetDismissed() {
    isShowingCustomSearchTriggerSheet_ = false;
    prepareCustomSearchTriggerEditor();
}

// ---------------------------------------------------------------- the Open Modes card

void SettingsState::disableInlineSearch() {
    prefs_.setInlineTrigger("");
    setNotice(std::nullopt);
    prepareCustomSearchTriggerEditor();
}

void SettingsState::chooseQuickOpenShortcut(QuickOpenShortcut shortcut) {
    const auto requested = OpenModeRules::sequence(shortcut);
    prefs_.setQuickOpenShortcut(shortcut);
    const auto resolved = OpenModeRules::sequence(prefs_.quickOpenShortcut());
    if (!requested || (resolved && resolved == requested)) {
        setNotice(std::nullopt);
    } else {
        setNotice(OpenModeRules::quickOpenShortcutCollisionNotice(*requested, resolved));
    }
    changed();
}

void SettingsState::chooseQuickOpenTarget(QuickOpenTarget target) {
    prefs_.setQuickOpenTarget(target);
}

void SettingsState::setLibraryShortcutSheetShown(bool shown) {
    if (isShowingLibraryShortcutSheet_ == shown) return;
    isShowingLibraryShortcutSheet_ = shown;
    changed();
}

void SettingsState::saveRecordedLibraryShortcut(const KeyboardShortcut& shortcut) {
    prefs_.setLibraryShortcut(shortcut);
    setLibraryShortcutSheetShown(false);
}

void SettingsState::disableLibraryShortcut() {
    prefs_.setLibraryShortcut(std::nullopt);
    setLibraryShortcutSheetShown(false);
}

void SettingsState::resetOpenModesToDefaults() {
    prefs_.resetOpenModesToDefaults();
    setNotice(std::nullopt);
    prepareCustomSearchTriggerEditor();
}

// ---------------------------------------------------------------- the General tab

std::int64_t SettingsState::popupDelayForSliderValue(double value) {
    if (std::isnan(value)) return 0;
    const double rounded = std::round(value);  // halves away from zero
    return static_cast<std::int64_t>(std::clamp(rounded, 0.0, 1500.0));
}

void SettingsState::setPopupDelayFromSlider(double value) {
    prefs_.setPopupDelayMs(popupDelayForSliderValue(value));
}

void SettingsState::requestResetAllSettings() {
    isShowingResetAllSettingsAlert_ = true;
    changed();
}

void SettingsState::cancelResetAllSettings() {
    isShowingResetAllSettingsAlert_ = false;
    changed();
}

void SettingsState::confirmResetAllSettings() {
    isShowingResetAllSettingsAlert_ = false;
    prefs_.resetAllSettingsToDefaults();
    setNotice(std::nullopt);
    prepareCustomSearchTriggerEditor();
}

// ---------------------------------------------------------------- excluded applications

void SettingsState::setRunningAppsSheetShown(bool shown) {
    if (isShowingRunningAppsSheet_ == shown) return;
    isShowingRunningAppsSheet_ = shown;
    changed();
}

void SettingsState::addExcludedApps(const std::vector<ExcludedApp>& apps) {
    ExcludedAppsRules::addExcludedApps(prefs_, apps);
}

// ---------------------------------------------------------------- the updates card

void SettingsState::updaterStatusDidChange() {
    ++updaterStatusRefreshTick_;
    changed();
}

}  // namespace mosaiko

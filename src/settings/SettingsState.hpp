#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "content/ExcludedApp.hpp"
#include "content/KeyboardShortcut.hpp"
#include "content/OptionEnums.hpp"
#include "content/PreferencesStore.hpp"
#include "platform/Published.hpp"

namespace mosaiko {

// What the tabs and sheets of the settings window share, for as long as the window lives: the
// selected tab, which sheet or alert is up, the drafts of the inline-trigger editor, the notice
// that explains a moved instant-open sequence, and the tick that makes the updates card re-read the
// update state. Every other control writes the preferences store at once; only the trigger editor
// works on drafts, which reach the store on its OK.
//
// Views read the state and change it only through the operations below; `revision` moves after
// every change, so a view redraws by observing it (and the store properties it shows).
class SettingsState {
  public:
    enum class Tab { general, excludedApps, pins, emoticons, shortcodes, info };
    static constexpr Tab allTabs[] = {Tab::general,   Tab::excludedApps, Tab::pins,
                                      Tab::emoticons, Tab::shortcodes,   Tab::info};

    explicit SettingsState(PreferencesStore& prefs);
    SettingsState(const SettingsState&) = delete;
    SettingsState& operator=(const SettingsState&) = delete;

    PreferencesStore& prefs() const { return prefs_; }

    // Raised after every change of the state below.
    Published<std::uint64_t> revision{0};

    Tab tab() const { return tab_; }
    bool isShowingRunningAppsSheet() const { return isShowingRunningAppsSheet_; }
    bool isShowingResetAllSettingsAlert() const { return isShowingResetAllSettingsAlert_; }
    bool isShowingCustomSearchTriggerSheet() const { return isShowingCustomSearchTriggerSheet_; }
    bool isShowingLibraryShortcutSheet() const { return isShowingLibraryShortcutSheet_; }
    int updaterStatusRefreshTick() const { return updaterStatusRefreshTick_; }
    const std::string& customSearchTriggerDraft() const { return customSearchTriggerDraft_; }
    const std::vector<std::string>& customSearchTriggerBlocklistDraft() const {
        return customSearchTriggerBlocklistDraft_;
    }
    const std::string& blocklistEntryDraft() const { return blocklistEntryDraft_; }
    const std::optional<std::string>& shortcutCollisionNotice() const { return shortcutCollisionNotice_; }

    // Derived from the drafts.
    std::optional<std::string> pendingCustomSearchTrigger() const;
    std::optional<std::string> pendingBlocklistEntry() const;
    bool canAddPendingBlocklistEntry() const;

    void selectTab(Tab tab);

    // ---- the trigger editor
    // Drafts from the store; the entry field emptied.
    void prepareCustomSearchTriggerEditor();
    // Drafts reloaded, then the sheet shown.
    void openCustomSearchTriggerEditor();
    void setCustomSearchTriggerDraft(std::string draft);
    void setBlocklistEntryDraft(std::string draft);
    void addOpeningSequenceBlocklistEntry();
    void removeOpeningSequenceBlocklistEntry(const std::string& entry);
    // With a usable trigger: the blocklist draft, then the trigger stored, the notice decided and
    // the sheet closed. Without one nothing happens.
    void confirmCustomSearchTrigger();
    // Drafts reloaded and the sheet closed.
    void cancelCustomSearchTriggerEditor();
    // However the sheet went away (also after OK): the drafts are reloaded from the store.
    void customSearchTriggerSheetDismissed();

    // ---- the Open Modes card
    void disableInlineSearch();
    // The instant-open picker: stores the sequence and explains a move of it in the notice.
    void chooseQuickOpenShortcut(QuickOpenShortcut shortcut);
    void chooseQuickOpenTarget(QuickOpenTarget target);
    void setLibraryShortcutSheetShown(bool shown);
    // A recorded combination: stored, and the sheet closed.
    void saveRecordedLibraryShortcut(const KeyboardShortcut& shortcut);
    // No library shortcut any more; closes the sheet when it is up.
    void disableLibraryShortcut();
    void resetOpenModesToDefaults();

    // ---- the General tab
    // A slider value in milliseconds: rounded half away from zero, clamped to 0...1500.
    static std::int64_t popupDelayForSliderValue(double value);
    void setPopupDelayFromSlider(double value);
    void requestResetAllSettings();
    void cancelResetAllSettings();
    void confirmResetAllSettings();

    // ---- excluded applications
    void setRunningAppsSheetShown(bool shown);
    // Merged into the excluded applications and written, also when the list is empty.
    void addExcludedApps(const std::vector<ExcludedApp>& apps);

    // ---- the updates card
    void updaterStatusDidChange();

  private:
    void changed();
    void setNotice(std::optional<std::string> notice);

    PreferencesStore& prefs_;
    Tab tab_ = Tab::general;
    bool isShowingRunningAppsSheet_ = false;
    bool isShowingResetAllSettingsAlert_ = false;
    int updaterStatusRefreshTick_ = 0;
    std::string customSearchTriggerDraft_;
    std::vector<std::string> customSearchTriggerBlocklistDraft_;
    std::optional<std::string> shortcutCollisionNotice_;
    bool isShowingCustomSearchTriggerSheet_ = false;
    bool isShowingLibraryShortcutSheet_ = false;
    std::string blocklistEntryDraft_;
    Cancellable blocklistObservation_;
};

}  // namespace mosaiko

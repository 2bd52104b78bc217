#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "content/EmojiEntry.hpp"
#include "content/ExcludedApp.hpp"
#include "content/KeyboardShortcut.hpp"
#include "content/OptionEnums.hpp"
#include "content/SkinTone.hpp"
#include "platform/DefaultsDatabase.hpp"
#include "platform/Published.hpp"

namespace mosaiko {

// Every user preference, each a published property written through to the defaults database.
//
// Read a preference with `store.inlineTrigger()`, follow it with `store.inlineTrigger.subscribe(...)`
// (or `observe`), and assign it only through its setter (`store.setInlineTrigger(...)`), which
// applies the preference's rule and writes it at once. A subscriber is told of an assignment before
// it is stored, so reading the store from inside the notification still gives the previous value.
// A setter that has to correct a value announces the value as assigned and then the corrected one,
// and writes only the corrected one.
class PreferencesStore {
  public:
    // A published preference that only the store can assign.
    template <class T>
    using Property = OwnedPublished<T, PreferencesStore>;

    // Loads every preference (writing defaults for missing keys and writing each loaded value
    // back through its setter) and seeds "hasCompletedOnboarding" when it is missing.
    explicit PreferencesStore(DefaultsDatabase& defaults);
    PreferencesStore(const PreferencesStore&) = delete;
    PreferencesStore& operator=(const PreferencesStore&) = delete;

    // The database the store reads and writes; the onboarding guide writes its finish flag here.
    DefaultsDatabase& defaults() const { return defaults_; }

    static const std::vector<ExcludedApp>& defaultExcludedApps();

    // The defaults, stored forms and rules of these are in the preference table
    // (PreferencesStore.cpp); loading gives each its value.
    Property<std::int64_t> popupDelayMs;
    Property<std::string> inlineTrigger;
    Property<std::vector<std::string>> openingSequenceBlocklist;
    Property<bool> keepOpenOnShiftEnter;
    Property<bool> launchAtLoginEnabled;
    Property<SkinTone> defaultSkinTone;
    Property<std::vector<ExcludedApp>> excludedApps;
    Property<QuickOpenShortcut> quickOpenShortcut;
    Property<QuickOpenTarget> quickOpenTarget;
    Property<std::optional<KeyboardShortcut>> libraryShortcut;
    Property<SearchSortPriority> searchSortPriority;
    Property<bool> showPinsFirstInSearchResults;
    Property<bool> pinSortingAffectsGlobalSearchResults;
    Property<std::vector<std::string>> emoticonOrder;
    Property<std::set<std::string>> hiddenEmoticonIDs;
    Property<std::map<std::string, std::string>> rememberedEmojiVariantsByEntryID;

    // Any integer is kept as it is.
    void setPopupDelayMs(std::int64_t value);
    // Control characters dropped, at most 6 scalars kept (possibly empty); the instant-open
    // sequence then moves off the new trigger if it equals it.
    void setInlineTrigger(std::string value);
    void setOpeningSequenceBlocklist(std::vector<std::string> value);
    void setKeepOpenOnShiftEnter(bool value);
    void setLaunchAtLoginEnabled(bool value);
    void setDefaultSkinTone(SkinTone value);
    void setExcludedApps(std::vector<ExcludedApp> value);
    // Moved to another sequence when it would equal the inline trigger.
    void setQuickOpenShortcut(QuickOpenShortcut value);
    void setQuickOpenTarget(QuickOpenTarget value);
    // No shortcut removes the stored one.
    void setLibraryShortcut(std::optional<KeyboardShortcut> value);
    void setSearchSortPriority(SearchSortPriority value);
    void setShowPinsFirstInSearchResults(bool value);
    void setPinSortingAffectsGlobalSearchResults(bool value);
    // Kept as assigned; only loading normalizes the order and drops unknown hidden ids.
    void setEmoticonOrder(std::vector<std::string> value);
    void setHiddenEmoticonIDs(std::set<std::string> value);
    void setRememberedEmojiVariantsByEntryID(std::map<std::string, std::string> value);

    // Whether inline search ignores the frontmost application. Either fact may be unknown.
    bool isExcluded(const std::optional<std::string>& frontmostBundleID,
                    const std::optional<std::string>& frontmostName) const;
    // The text an entry shows and inserts: its remembered variant while that is still one of its
    // options, else its option for the default skin tone, else its own text.
    std::string preferredEmojiText(const EmojiEntry& entry) const;
    // Remembers the variant picked for an entry; ignores options that are not the entry's own and
    // writes nothing when that variant is already remembered.
    void rememberEmojiVariant(const EmojiEntry::Variants::Option& option, const EmojiEntry& entry);

    // The instant-open sequence to use with this trigger: unchanged unless its two characters are
    // the whole trigger, else the first enabled sequence that is not, else disabled.
    static QuickOpenShortcut resolvedQuickOpenShortcut(QuickOpenShortcut shortcut, std::string_view trigger);
    // Control characters dropped, each entry cut to 32 scalars, empty entries skipped, and of
    // entries equal but for letter case only the first kept. Order and spaces are kept.
    static std::vector<std::string> normalizedOpeningSequenceBlocklist(
        const std::vector<std::string>& entries);

    void resetEmoticonPreferencesToDefaults();
    void resetOpenModesToDefaults();
    void resetAllSettingsToDefaults();

  private:
    // One row of the preference table: key, default, stored form and rules of one property.
    template <class T>
    struct Preference;
    static const auto& table();
    // Calls `f` with every row, in table order.
    template <class F>
    static void forEachRow(F f);
    template <class T>
    static const Preference<T>& rowOf(Property<T> PreferencesStore::*property);

    static bool hasExistingAppState(const DefaultsDatabase& defaults);
    void seedMissingValues(bool hadExistingAppState);
    void load();
    template <class T>
    void load(const Preference<T>& row);
    // Announces the value, applies the row's rule (assigning a corrected value anew) and writes it.
    template <class T>
    void assign(const Preference<T>& row, T value);
    template <class T>
    void assign(Property<T> PreferencesStore::*property, T value) {
        assign(rowOf(property), std::move(value));
    }
    template <class Which>
    void resetRows(Which which);
    void resolveQuickOpenCollisionIfNeeded();

    // Announces a value to the property's subscribers and stores it. False when a subscriber
    // assigned another value meanwhile; that newer assignment has then done all the work.
    template <class T>
    static bool announce(Property<T>& property, const T& value);

    DefaultsDatabase& defaults_;
    bool loading_ = false;
};

}  // namespace mosaiko

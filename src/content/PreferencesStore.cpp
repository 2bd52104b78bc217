#include "content/PreferencesStore.hpp"

#include <algorithm>
#include <exception>
#include <unordered_set>

#include "content/EmoticonCatalog.hpp"
#include "platform/Json.hpp"
#include "platform/Text.hpp"
#include "platform/linux/FileDefaults.hpp"

namespace mosaiko {

namespace {

namespace keys {
constexpr std::string_view popupDelayMs = "popupDelayMs";
constexpr std::string_view inlineTrigger = "inlineTrigger";
constexpr std::string_view openingSequenceBlocklist = "openingSequenceBlocklist";
constexpr std::string_view keepOpenOnShiftEnter = "keepOpenOnShiftEnter";
constexpr std::string_view launchAtLoginEnabled = "launchAtLoginEnabled";
constexpr std::string_view defaultSkinTone = "defaultSkinTone";
constexpr std::string_view excludedApps = "excludedApps";
constexpr std::string_view quickOpenShortcut = "quickOpenShortcut";
constexpr std::string_view quickOpenTarget = "quickOpenTarget";
constexpr std::string_view libraryShortcut = "libraryShortcut";
constexpr std::string_view searchSortPriority = "searchSortPriority";
constexpr std::string_view showPinsFirstInSearchResults = "showPinsFirstInSearchResults";
constexpr std::string_view pinSortingAffectsGlobalSearchResults = "pinSortingAffectsGlobalSearchResults";
constexpr std::string_view emoticonOrder = "emoticonOrder";
constexpr std::string_view hiddenEmoticonIDs = "hiddenEmoticonIDs";
constexpr std::string_view rememberedEmojiVariantsByEntryID = "rememberedEmojiVariantsByEntryID";
constexpr std::string_view hasCompletedOnboarding = "hasCompletedOnboarding";

// The preference keys in their canonical order.
constexpr std::string_view preferences[] = {popupDelayMs,
                                            inlineTrigger,
                                            openingSequenceBlocklist,
                                            keepOpenOnShiftEnter,
                                            launchAtLoginEnabled,
                                            defaultSkinTone,
                                            excludedApps,
                                            quickOpenShortcut,
                                            quickOpenTarget,
                                            libraryShortcut,
                                            searchSortPriority,
                                            showPinsFirstInSearchResults,
                                            pinSortingAffectsGlobalSearchResults,
                                            emoticonOrder,
                                            hiddenEmoticonIDs,
                                            rememberedEmojiVariantsByEntryID};
// Other state whose presence shows that the program has been used before.
constexpr std::string_view otherAppState[] = {"emojiUsageCounts", "emojiUsageRecents", "emojiUsageHistory",
                                              "emojiCollectionsV1"};
}  // namespace keys

constexpr std::size_t inlineTriggerScalarLimit = 6;
constexpr std::size_t blocklistEntryScalarLimit = 32;

DefaultsValue stringArrayValue(const std::vector<std::string>& strings) {
    DefaultsValue::Array array;
    array.reserve(strings.size());
    for (const auto& s : strings) array.emplace_back(s);
    return DefaultsValue(std::move(array));
}

DefaultsValue jsonData(const Json& json) {
    return DefaultsValue(DefaultsData{json::dump(json)});
}

Json excludedAppsJson(const std::vector<ExcludedApp>& apps) {
    Json array = Json::array();
    for (const auto& app : apps) array.push_back(app.toJson());
    return array;
}

std::optional<Json> storedJson(const DefaultsDatabase& defaults, std::string_view key) {
    const auto bytes = defaults.data(key);
    if (!bytes) return std::nullopt;
    return json::parse(*bytes);
}

template <class T>
bool holds(const DefaultsDatabase& defaults, std::string_view key) {
    const auto value = defaults.object(key);
    return value && value->get<T>() != nullptr;
}

}  // namespace

PreferencesStore::PreferencesStore(DefaultsDatabase& defaults)
    : emoticonOrder(EmoticonCatalog::defaultOrder()), defaults_(defaults) {
    // Decided before anything is written, so that seeding cannot count as earlier use.
    const bool hadExistingAppState = hasExistingAppState(defaults_);
    seedMissingValues(hadExistingAppState);
    load();
}

PreferencesStore& PreferencesStore::shared() {
    static PreferencesStore store(FileDefaults::shared());
    return store;
}

// Editors and terminals, where the trigger ";" is ordinary text. The identifiers are what the
// workspace reports for them on Debian: the desktop-entry id the window names or whose
// StartupWMClass matches, else the window class (matched without regard to case). JetBrains IDEs
// name their windows "jetbrains-idea", "jetbrains-pycharm-ce", ...
const std::vector<ExcludedApp>& PreferencesStore::defaultExcludedApps() {
    static const std::vector<ExcludedApp> apps = {
        {"JetBrains IDEs", "jetbrains-*"},
        {"Sublime Text", "sublime_text"},
        {"Visual Studio Code", "code"},
        {"GNOME Terminal", "org.gnome.Terminal"},
        {"GNOME Console", "org.gnome.Console"},
        {"Konsole", "org.kde.konsole"},
        {"Xfce Terminal", "xfce4-terminal"},
        {"MATE Terminal", "mate-terminal"},
        {"LXTerminal", "lxterminal"},
        {"QTerminal", "qterminal"},
        {"XTerm", "debian-xterm"},
        {"UXTerm", "debian-uxterm"},
    };
    return apps;
}

// ---------------------------------------------------------------- loading

bool PreferencesStore::hasExistingAppState(const DefaultsDatabase& defaults) {
    for (const auto key : keys::preferences) {
        if (defaults.contains(key)) return true;
    }
    for (const auto key : keys::otherAppState) {
        if (defaults.contains(key)) return true;
    }
    return false;
}

void PreferencesStore::seedMissingValues(bool hadExistingAppState) {
    const auto seed = [this](std::string_view key, DefaultsValue value) {
        if (!defaults_.contains(key)) defaults_.set(key, std::move(value));
    };
    seed(keys::popupDelayMs, std::int64_t{300});
    seed(keys::inlineTrigger, ";");
    seed(keys::openingSequenceBlocklist, DefaultsValue::Array{});
    seed(keys::keepOpenOnShiftEnter, true);
    seed(keys::launchAtLoginEnabled, true);
    seed(keys::defaultSkinTone, std::string(skin_tone::rawValue(SkinTone::defaultTone)));
    seed(keys::excludedApps, jsonData(excludedAppsJson(defaultExcludedApps())));
    seed(keys::quickOpenShortcut,
         std::string(quick_open_shortcut::rawValue(QuickOpenShortcut::doubleSemicolon)));
    seed(keys::quickOpenTarget, std::string(quick_open_target::rawValue(QuickOpenTarget::all)));
    seed(keys::searchSortPriority,
         std::string(search_sort_priority::rawValue(SearchSortPriority::emojiFirst)));
    seed(keys::showPinsFirstInSearchResults, true);
    seed(keys::pinSortingAffectsGlobalSearchResults, true);
    seed(keys::emoticonOrder, stringArrayValue(EmoticonCatalog::defaultOrder()));
    seed(keys::hiddenEmoticonIDs, DefaultsValue::Array{});
    seed(keys::rememberedEmojiVariantsByEntryID, jsonData(Json::object()));
    seed(keys::hasCompletedOnboarding, hadExistingAppState);
}

void PreferencesStore::load() {
    // Loading writes every value back. A stored value that cannot be read as what its key holds
    // (wrong type, unknown name, undecodable JSON) falls back to the default, so its bytes are
    // kept aside first instead of being lost to the write-back.
    const auto keepAsideUnless = [this](std::string_view key, bool readable) {
        if (!readable && defaults_.contains(key)) defaults_.preserveUndecodable(key);
    };
    loading_ = true;

    keepAsideUnless(keys::popupDelayMs, holds<std::int64_t>(defaults_, keys::popupDelayMs));
    setPopupDelayMs(defaults_.integer(keys::popupDelayMs));

    const auto trigger = defaults_.string(keys::inlineTrigger);
    keepAsideUnless(keys::inlineTrigger, trigger.has_value());
    // The instant-open choice is not read yet: the trigger setter must not move it now.
    setInlineTrigger(sanitizedInlineTriggerValue(trigger.value_or(";")));

    const auto blocklist = defaults_.stringArray(keys::openingSequenceBlocklist);
    keepAsideUnless(keys::openingSequenceBlocklist, blocklist.has_value());
    setOpeningSequenceBlocklist(
        normalizedOpeningSequenceBlocklist(blocklist.value_or(std::vector<std::string>{})));

    keepAsideUnless(keys::keepOpenOnShiftEnter, holds<bool>(defaults_, keys::keepOpenOnShiftEnter));
    setKeepOpenOnShiftEnter(defaults_.boolValue(keys::keepOpenOnShiftEnter));
    keepAsideUnless(keys::launchAtLoginEnabled, holds<bool>(defaults_, keys::launchAtLoginEnabled));
    setLaunchAtLoginEnabled(defaults_.boolValue(keys::launchAtLoginEnabled));

    const auto storedTone = defaults_.string(keys::defaultSkinTone);
    const auto tone = storedTone ? skin_tone::fromRawValue(*storedTone) : std::nullopt;
    keepAsideUnless(keys::defaultSkinTone, tone.has_value());
    setDefaultSkinTone(tone.value_or(SkinTone::defaultTone));

    auto apps = loadExcludedApps();
    keepAsideUnless(keys::excludedApps, apps.has_value());
    setExcludedApps(apps ? std::move(*apps) : defaultExcludedApps());

    const auto storedShortcut = defaults_.string(keys::quickOpenShortcut);
    const auto shortcut = storedShortcut ? quick_open_shortcut::fromRawValue(*storedShortcut) : std::nullopt;
    keepAsideUnless(keys::quickOpenShortcut, shortcut.has_value());
    setQuickOpenShortcut(
        resolvedQuickOpenShortcut(shortcut.value_or(QuickOpenShortcut::doubleSemicolon), inlineTrigger()));

    const auto storedTarget = defaults_.string(keys::quickOpenTarget);
    const auto target = storedTarget ? quick_open_target::fromRawValue(*storedTarget) : std::nullopt;
    keepAsideUnless(keys::quickOpenTarget, target.has_value());
    setQuickOpenTarget(target.value_or(QuickOpenTarget::all));

    auto libraryShortcutValue = loadLibraryShortcut();
    keepAsideUnless(keys::libraryShortcut, libraryShortcutValue.has_value());
    setLibraryShortcut(std::move(libraryShortcutValue));

    const auto storedPriority = defaults_.string(keys::searchSortPriority);
    const auto priority = storedPriority ? search_sort_priority::fromRawValue(*storedPriority) : std::nullopt;
    keepAsideUnless(keys::searchSortPriority, priority.has_value());
    setSearchSortPriority(priority.value_or(SearchSortPriority::emojiFirst));

    const auto storedBool = [this](std::string_view key) -> std::optional<bool> {
        const auto value = defaults_.object(key);
        if (!value || !value->get<bool>()) return std::nullopt;
        return *value->get<bool>();
    };
    const auto pinsFirst = storedBool(keys::showPinsFirstInSearchResults);
    keepAsideUnless(keys::showPinsFirstInSearchResults, pinsFirst.has_value());
    setShowPinsFirstInSearchResults(pinsFirst.value_or(true));
    const auto pinSorting = storedBool(keys::pinSortingAffectsGlobalSearchResults);
    keepAsideUnless(keys::pinSortingAffectsGlobalSearchResults, pinSorting.has_value());
    setPinSortingAffectsGlobalSearchResults(pinSorting.value_or(true));

    const auto order = defaults_.stringArray(keys::emoticonOrder);
    keepAsideUnless(keys::emoticonOrder, order.has_value());
    setEmoticonOrder(EmoticonCatalog::normalizedOrder(order.value_or(EmoticonCatalog::defaultOrder())));

    const auto hidden = defaults_.stringArray(keys::hiddenEmoticonIDs);
    keepAsideUnless(keys::hiddenEmoticonIDs, hidden.has_value());
    std::set<std::string> knownHidden;
    for (const auto& id : hidden.value_or(std::vector<std::string>{})) {
        if (EmoticonCatalog::isKnownID(id)) knownHidden.insert(id);
    }
    setHiddenEmoticonIDs(std::move(knownHidden));

    auto remembered = loadRememberedEmojiVariants();
    keepAsideUnless(keys::rememberedEmojiVariantsByEntryID, remembered.has_value());
    setRememberedEmojiVariantsByEntryID(remembered ? std::move(*remembered)
                                                   : std::map<std::string, std::string>{});

    loading_ = false;
}

std::optional<std::vector<ExcludedApp>> PreferencesStore::loadExcludedApps() const {
    const auto json = storedJson(defaults_, keys::excludedApps);
    if (!json || !json->is_array()) return std::nullopt;
    std::vector<ExcludedApp> apps;
    try {
        for (const auto& element : *json) apps.push_back(ExcludedApp::fromJson(element));
    } catch (const std::exception&) {
        // One malformed entry makes the whole stored list unreadable.
        return std::nullopt;
    }
    return apps;
}

std::optional<KeyboardShortcut> PreferencesStore::loadLibraryShortcut() const {
    const auto json = storedJson(defaults_, keys::libraryShortcut);
    if (!json) return std::nullopt;
    try {
        return KeyboardShortcut::fromJson(*json);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<std::map<std::string, std::string>> PreferencesStore::loadRememberedEmojiVariants() const {
    const auto json = storedJson(defaults_, keys::rememberedEmojiVariantsByEntryID);
    if (!json) return std::nullopt;
    return json::stringMap(*json);
}

// ---------------------------------------------------------------- setters

template <class T>
bool PreferencesStore::announce(Property<T>& property, const T& value) {
    property.set(value);
    return property() == value;
}

void PreferencesStore::setPopupDelayMs(std::int64_t value) {
    if (!announce(popupDelayMs, value)) return;
    defaults_.set(keys::popupDelayMs, value);
}

void PreferencesStore::setInlineTrigger(std::string value) {
    if (!announce(inlineTrigger, value)) return;
    auto sanitized = sanitizedInlineTriggerValue(value);
    if (sanitized != value) {
        setInlineTrigger(std::move(sanitized));
        return;
    }
    defaults_.set(keys::inlineTrigger, value);
    if (!loading_) resolveQuickOpenCollisionIfNeeded();
}

void PreferencesStore::setOpeningSequenceBlocklist(std::vector<std::string> value) {
    if (!announce(openingSequenceBlocklist, value)) return;
    auto normalized = normalizedOpeningSequenceBlocklist(value);
    if (normalized != value) {
        setOpeningSequenceBlocklist(std::move(normalized));
        return;
    }
    defaults_.set(keys::openingSequenceBlocklist, stringArrayValue(value));
}

void PreferencesStore::setKeepOpenOnShiftEnter(bool value) {
    if (!announce(keepOpenOnShiftEnter, value)) return;
    defaults_.set(keys::keepOpenOnShiftEnter, value);
}

void PreferencesStore::setLaunchAtLoginEnabled(bool value) {
    if (!announce(launchAtLoginEnabled, value)) return;
    defaults_.set(keys::launchAtLoginEnabled, value);
}

void PreferencesStore::setDefaultSkinTone(SkinTone value) {
    if (!announce(defaultSkinTone, value)) return;
    defaults_.set(keys::defaultSkinTone, std::string(skin_tone::rawValue(value)));
}

void PreferencesStore::setExcludedApps(std::vector<ExcludedApp> value) {
    if (!announce(excludedApps, value)) return;
    persistExcludedApps(value);
}

void PreferencesStore::setQuickOpenShortcut(QuickOpenShortcut value) {
    if (!announce(quickOpenShortcut, value)) return;
    const auto resolved = resolvedQuickOpenShortcut(value, inlineTrigger());
    if (resolved != value) {
        setQuickOpenShortcut(resolved);
        return;
    }
    defaults_.set(keys::quickOpenShortcut, std::string(quick_open_shortcut::rawValue(value)));
}

void PreferencesStore::setQuickOpenTarget(QuickOpenTarget value) {
    if (!announce(quickOpenTarget, value)) return;
    defaults_.set(keys::quickOpenTarget, std::string(quick_open_target::rawValue(value)));
}

void PreferencesStore::setLibraryShortcut(std::optional<KeyboardShortcut> value) {
    if (!announce(libraryShortcut, value)) return;
    persistLibraryShortcut(value);
}

void PreferencesStore::setSearchSortPriority(SearchSortPriority value) {
    if (!announce(searchSortPriority, value)) return;
    defaults_.set(keys::searchSortPriority, std::string(search_sort_priority::rawValue(value)));
}

void PreferencesStore::setShowPinsFirstInSearchResults(bool value) {
    if (!announce(showPinsFirstInSearchResults, value)) return;
    defaults_.set(keys::showPinsFirstInSearchResults, value);
}

void PreferencesStore::setPinSortingAffectsGlobalSearchResults(bool value) {
    if (!announce(pinSortingAffectsGlobalSearchResults, value)) return;
    defaults_.set(keys::pinSortingAffectsGlobalSearchResults, value);
}

void PreferencesStore::setEmoticonOrder(std::vector<std::string> value) {
    if (!announce(emoticonOrder, value)) return;
    defaults_.set(keys::emoticonOrder, stringArrayValue(value));
}

void PreferencesStore::setHiddenEmoticonIDs(std::set<std::string> value) {
    if (!announce(hiddenEmoticonIDs, value)) return;
    // The set iterates in ascending order, which is the stored order.
    defaults_.set(keys::hiddenEmoticonIDs,
                  stringArrayValue(std::vector<std::string>(value.begin(), value.end())));
}

void PreferencesStore::setRememberedEmojiVariantsByEntryID(std::map<std::string, std::string> value) {
    if (!announce(rememberedEmojiVariantsByEntryID, value)) return;
    persistRememberedEmojiVariants(value);
}

void PreferencesStore::persistExcludedApps(const std::vector<ExcludedApp>& apps) {
    defaults_.set(keys::excludedApps, jsonData(excludedAppsJson(apps)));
}

void PreferencesStore::persistLibraryShortcut(const std::optional<KeyboardShortcut>& shortcut) {
    if (shortcut) {
        defaults_.set(keys::libraryShortcut, jsonData(shortcut->toJson()));
    } else {
        defaults_.remove(keys::libraryShortcut);
    }
}

void PreferencesStore::persistRememberedEmojiVariants(const std::map<std::string, std::string>& variants) {
    defaults_.set(keys::rememberedEmojiVariantsByEntryID, jsonData(Json(variants)));
}

// ---------------------------------------------------------------- rules

std::string PreferencesStore::sanitizedInlineTriggerValue(std::string_view value) {
    return text::prefixScalars(text::removingControlCharacters(value), inlineTriggerScalarLimit);
}

std::vector<std::string> PreferencesStore::normalizedOpeningSequenceBlocklist(
    const std::vector<std::string>& entries) {
    std::vector<std::string> result;
    std::unordered_set<std::string> seen;
    for (const auto& entry : entries) {
        auto cleaned = text::prefixScalars(text::removingControlCharacters(entry), blocklistEntryScalarLimit);
        if (cleaned.empty()) continue;
        if (!seen.insert(text::nfc(text::lowercased(cleaned))).second) continue;
        result.push_back(std::move(cleaned));
    }
    return result;
}

QuickOpenShortcut PreferencesStore::resolvedQuickOpenShortcut(QuickOpenShortcut shortcut,
                                                              std::string_view trigger) {
    const auto sequence = quick_open_shortcut::sequence(shortcut);
    if (!sequence || *sequence != trigger) return shortcut;
    for (const auto candidate : quick_open_shortcut::enabledCases) {
        if (quick_open_shortcut::sequence(candidate) != trigger) return candidate;
    }
    return QuickOpenShortcut::disabled;
}

void PreferencesStore::resolveQuickOpenCollisionIfNeeded() {
    const auto resolved = resolvedQuickOpenShortcut(quickOpenShortcut(), inlineTrigger());
    if (resolved != quickOpenShortcut()) setQuickOpenShortcut(resolved);
}

bool PreferencesStore::isExcluded(const std::optional<std::string>& frontmostBundleID,
                                  const std::optional<std::string>& frontmostName) const {
    const auto matches = [&](const ExcludedApp& app) {
        if (app.bundleIdentifier && frontmostBundleID) {
            std::string_view pattern = *app.bundleIdentifier;
            if (pattern.empty()) return false;
            if (pattern.back() == '*') {
                pattern.remove_suffix(1);
                return !pattern.empty() && text::hasPrefixCaseInsensitive(*frontmostBundleID, pattern);
            }
            return text::caseInsensitiveEqual(pattern, *frontmostBundleID);
        }
        return frontmostName && text::caseInsensitiveEqual(*frontmostName, app.name);
    };
    const auto& apps = excludedApps();
    return std::any_of(apps.begin(), apps.end(), matches);
}

std::string PreferencesStore::preferredEmojiText(const EmojiEntry& entry) const {
    if (!entry.variants) return entry.emoji;
    const auto& remembered = rememberedEmojiVariantsByEntryID();
    if (const auto it = remembered.find(entry.id); it != remembered.end()) {
        if (const auto* option = entry.variants->option(std::string_view(it->second))) return option->emoji;
    }
    if (const auto* option = entry.variants->preferredOption(defaultSkinTone())) return option->emoji;
    return entry.emoji;
}

void PreferencesStore::rememberEmojiVariant(const EmojiEntry::Variants::Option& option,
                                            const EmojiEntry& entry) {
    if (!entry.variants || !entry.variants->option(std::string_view(option.emoji))) return;
    auto remembered = rememberedEmojiVariantsByEntryID();
    const auto it = remembered.find(entry.id);
    if (it != remembered.end() && text::canonicallyEqual(it->second, option.emoji)) return;
    remembered[entry.id] = option.emoji;
    setRememberedEmojiVariantsByEntryID(std::move(remembered));
}

// ---------------------------------------------------------------- resets

void PreferencesStore::resetEmoticonPreferencesToDefaults() {
    setEmoticonOrder(EmoticonCatalog::defaultOrder());
    setHiddenEmoticonIDs({});
}

void PreferencesStore::resetOpenModesToDefaults() {
    setInlineTrigger(";");
    setOpeningSequenceBlocklist({});
    setQuickOpenShortcut(QuickOpenShortcut::doubleSemicolon);
    setQuickOpenTarget(QuickOpenTarget::all);
    setLibraryShortcut(std::nullopt);
}

void PreferencesStore::resetAllSettingsToDefaults() {
    setPopupDelayMs(300);
    resetOpenModesToDefaults();
    setKeepOpenOnShiftEnter(true);
    setLaunchAtLoginEnabled(true);
    setDefaultSkinTone(SkinTone::defaultTone);
    setExcludedApps(defaultExcludedApps());
    setSearchSortPriority(SearchSortPriority::emojiFirst);
    setShowPinsFirstInSearchResults(true);
    setPinSortingAffectsGlobalSearchResults(true);
    setEmoticonOrder(EmoticonCatalog::defaultOrder());
    setHiddenEmoticonIDs({});
    setRememberedEmojiVariantsByEntryID({});
}

}  // namespace mosaiko

#include "content/PreferencesStore.hpp"

#include <algorithm>
#include <exception>
#include <functional>
#include <tuple>
#include <type_traits>
#include <unordered_set>

#include "content/EmoticonCatalog.hpp"
#include "platform/Json.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

namespace {

constexpr std::string_view kHasCompletedOnboarding = "hasCompletedOnboarding";
// Other state whose presence shows that the program has been used before.
constexpr std::string_view kOtherAppState[] = {"emojiUsageCounts", "emojiUsageRecents", "emojiUsageHistory",
                                               "emojiCollectionsV1"};

constexpr std::size_t inlineTriggerScalarLimit = 6;
constexpr std::size_t blocklistEntryScalarLimit = 32;

std::string sanitizedInlineTriggerValue(std::string_view value) {
    return text::prefixScalars(text::removingControlCharacters(value), inlineTriggerScalarLimit);
}

// ---------------------------------------------------------------- stored forms

// What loading makes of a stored value: the value to assign, and whether the stored value was
// readable as what its key holds.
template <class T>
struct Reading {
    T value;
    bool readable;
};

// How a preference's values are kept in the defaults database.
template <class T>
struct StoredForm {
    // The value to store; none removes the key.
    std::function<std::optional<DefaultsValue>(const T&)> write;
    // What loading reads; `fallback` stands in for a missing or unreadable value where the form
    // does not coerce one.
    std::function<Reading<T>(const DefaultsDatabase&, std::string_view key, const T& fallback)> read;
};

template <class T>
bool holds(const DefaultsDatabase& defaults, std::string_view key) {
    const auto value = defaults.object(key);
    return value && value->get<T>() != nullptr;
}

// An integer; any stored value reads as the database's integer reading of it.
StoredForm<std::int64_t> integerForm() {
    return {[](const std::int64_t& v) { return std::optional<DefaultsValue>(v); },
            [](const DefaultsDatabase& db, std::string_view key, const std::int64_t&) {
                return Reading<std::int64_t>{db.integer(key), holds<std::int64_t>(db, key)};
            }};
}

// A Boolean; any stored value reads as the database's Boolean reading of it.
StoredForm<bool> coercedBooleanForm() {
    return {[](const bool& v) { return std::optional<DefaultsValue>(v); },
            [](const DefaultsDatabase& db, std::string_view key, const bool&) {
                return Reading<bool>{db.boolValue(key), holds<bool>(db, key)};
            }};
}

// A Boolean; only a stored Boolean counts.
StoredForm<bool> booleanForm() {
    return {[](const bool& v) { return std::optional<DefaultsValue>(v); },
            [](const DefaultsDatabase& db, std::string_view key, const bool& fallback) {
                const auto value = db.object(key);
                const bool* stored = value ? value->get<bool>() : nullptr;
                return Reading<bool>{stored ? *stored : fallback, stored != nullptr};
            }};
}

StoredForm<std::string> stringForm() {
    return {[](const std::string& v) { return std::optional<DefaultsValue>(v); },
            [](const DefaultsDatabase& db, std::string_view key, const std::string& fallback) {
                auto stored = db.string(key);
                const bool readable = stored.has_value();
                return Reading<std::string>{readable ? std::move(*stored) : fallback, readable};
            }};
}

DefaultsValue stringArrayValue(const std::vector<std::string>& strings) {
    DefaultsValue::Array array;
    array.reserve(strings.size());
    for (const auto& s : strings) array.emplace_back(s);
    return DefaultsValue(std::move(array));
}

StoredForm<std::vector<std::string>> stringArrayForm() {
    using Strings = std::vector<std::string>;
    return {[](const Strings& v) { return std::optional<DefaultsValue>(stringArrayValue(v)); },
            [](const DefaultsDatabase& db, std::string_view key, const Strings& fallback) {
                auto stored = db.stringArray(key);
                const bool readable = stored.has_value();
                return Reading<Strings>{readable ? std::move(*stored) : fallback, readable};
            }};
}

// A set, stored as an array in ascending order.
StoredForm<std::set<std::string>> sortedStringArrayForm() {
    using Set = std::set<std::string>;
    return {
        [](const Set& v) {
            return std::optional<DefaultsValue>(
                stringArrayValue(std::vector<std::string>(v.begin(), v.end())));
        },
        [](const DefaultsDatabase& db, std::string_view key, const Set& fallback) {
            const auto stored = db.stringArray(key);
            return Reading<Set>{stored ? Set(stored->begin(), stored->end()) : fallback, stored.has_value()};
        }};
}

// An enumeration, stored as its case name; an unknown name is unreadable.
template <class E>
StoredForm<E> caseNameForm(std::string_view (*rawValue)(E),
                           std::optional<E> (*fromRawValue)(std::string_view)) {
    return {[rawValue](const E& v) { return std::optional<DefaultsValue>(std::string(rawValue(v))); },
            [fromRawValue](const DefaultsDatabase& db, std::string_view key, const E& fallback) {
                const auto stored = db.string(key);
                const auto value = stored ? fromRawValue(*stored) : std::nullopt;
                return Reading<E>{value.value_or(fallback), value.has_value()};
            }};
}

// JSON text stored as a data value; data that does not decode is unreadable.
template <class T>
StoredForm<T> jsonDataForm(std::function<std::optional<Json>(const T&)> encode,
                           std::function<std::optional<T>(const Json&)> decode) {
    return {[encode](const T& v) -> std::optional<DefaultsValue> {
                const auto json = encode(v);
                if (!json) return std::nullopt;
                return DefaultsValue(DefaultsData{json::dump(*json)});
            },
            [decode](const DefaultsDatabase& db, std::string_view key, const T& fallback) {
                const auto bytes = db.data(key);
                const auto json = bytes ? json::parse(*bytes) : std::nullopt;
                std::optional<T> value;
                try {
                    if (json) value = decode(*json);
                } catch (const std::exception&) {
                    // One malformed element makes the whole stored value unreadable.
                }
                const bool readable = value.has_value();
                return Reading<T>{readable ? std::move(*value) : fallback, readable};
            }};
}

StoredForm<std::vector<ExcludedApp>> excludedAppsForm() {
    using Apps = std::vector<ExcludedApp>;
    return jsonDataForm<Apps>(
        [](const Apps& apps) -> std::optional<Json> {
            Json array = Json::array();
            for (const auto& app : apps) array.push_back(app.toJson());
            return array;
        },
        [](const Json& json) -> std::optional<Apps> {
            if (!json.is_array()) return std::nullopt;
            Apps apps;
            for (const auto& element : json) apps.push_back(ExcludedApp::fromJson(element));
            return apps;
        });
}

// No shortcut removes the key.
StoredForm<std::optional<KeyboardShortcut>> shortcutForm() {
    using Shortcut = std::optional<KeyboardShortcut>;
    return jsonDataForm<Shortcut>(
        [](const Shortcut& shortcut) -> std::optional<Json> {
            if (!shortcut) return std::nullopt;
            return shortcut->toJson();
        },
        [](const Json& json) -> std::optional<Shortcut> {
            return Shortcut(KeyboardShortcut::fromJson(json));
        });
}

StoredForm<std::map<std::string, std::string>> stringMapForm() {
    using Map = std::map<std::string, std::string>;
    return jsonDataForm<Map>([](const Map& map) -> std::optional<Json> { return Json(map); },
                             [](const Json& json) { return json::stringMap(json); });
}

enum class Group { general, openModes, emoticons };

// ---------------------------------------------------------------- rules of the table

std::string triggerRule(const PreferencesStore&, const std::string& trigger) {
    return sanitizedInlineTriggerValue(trigger);
}

std::vector<std::string> blocklistRule(const PreferencesStore&, const std::vector<std::string>& entries) {
    return PreferencesStore::normalizedOpeningSequenceBlocklist(entries);
}

// The instant-open sequence never equals the trigger.
QuickOpenShortcut instantOpenRule(const PreferencesStore& store, const QuickOpenShortcut& shortcut) {
    return PreferencesStore::resolvedQuickOpenShortcut(shortcut, store.inlineTrigger());
}

std::vector<std::string> loadedEmoticonOrder(std::vector<std::string> order) {
    return EmoticonCatalog::normalizedOrder(order);
}

std::set<std::string> loadedHiddenEmoticons(std::set<std::string> ids) {
    std::erase_if(ids, [](const std::string& id) { return !EmoticonCatalog::isKnownID(id); });
    return ids;
}

}  // namespace

// ---------------------------------------------------------------- the preference table

template <class T>
struct PreferencesStore::Preference {
    std::string_view key;
    Property<T> PreferencesStore::*property;
    T defaultValue;
    StoredForm<T> stored;
    // Applied on every assignment; a value it changes is assigned again, corrected, and only the
    // corrected value is written.
    T (*rule)(const PreferencesStore&, const T&) = nullptr;
    // Applied to a stored value when it is loaded, before the assignment.
    T (*loadRule)(T) = nullptr;
    // Runs after a value has been written, except while loading.
    void (PreferencesStore::*afterWrite)() = nullptr;
    // Which reset restores it besides resetting everything.
    Group group = Group::general;
};

// Every preference, in the order in which it is seeded, loaded and looked for as earlier use.
const auto& PreferencesStore::table() {
    using S = PreferencesStore;
    static const auto rows = std::make_tuple(
        Preference<std::int64_t>{.key = "popupDelayMs",
                                 .property = &S::popupDelayMs,
                                 .defaultValue = 300,
                                 .stored = integerForm()},
        Preference<std::string>{.key = "inlineTrigger",
                                .property = &S::inlineTrigger,
                                .defaultValue = ";",
                                .stored = stringForm(),
                                .rule = triggerRule,
                                .afterWrite = &S::resolveQuickOpenCollisionIfNeeded,
                                .group = Group::openModes},
        Preference<std::vector<std::string>>{.key = "openingSequenceBlocklist",
                                             .property = &S::openingSequenceBlocklist,
                                             .defaultValue = {},
                                             .stored = stringArrayForm(),
                                             .rule = blocklistRule,
                                             .group = Group::openModes},
        Preference<bool>{.key = "keepOpenOnShiftEnter",
                         .property = &S::keepOpenOnShiftEnter,
                         .defaultValue = true,
                         .stored = coercedBooleanForm()},
        Preference<bool>{.key = "launchAtLoginEnabled",
                         .property = &S::launchAtLoginEnabled,
                         .defaultValue = true,
                         .stored = coercedBooleanForm()},
        Preference<SkinTone>{.key = "defaultSkinTone",
                             .property = &S::defaultSkinTone,
                             .defaultValue = SkinTone::defaultTone,
                             .stored = caseNameForm(&skin_tone::rawValue, &skin_tone::fromRawValue)},
        Preference<std::vector<ExcludedApp>>{.key = "excludedApps",
                                             .property = &S::excludedApps,
                                             .defaultValue = defaultExcludedApps(),
                                             .stored = excludedAppsForm()},
        Preference<QuickOpenShortcut>{
            .key = "quickOpenShortcut",
            .property = &S::quickOpenShortcut,
            .defaultValue = QuickOpenShortcut::doubleSemicolon,
            .stored = caseNameForm(&quick_open_shortcut::rawValue, &quick_open_shortcut::fromRawValue),
            .rule = instantOpenRule,
            .group = Group::openModes},
        Preference<QuickOpenTarget>{
            .key = "quickOpenTarget",
            .property = &S::quickOpenTarget,
            .defaultValue = QuickOpenTarget::all,
            .stored = caseNameForm(&quick_open_target::rawValue, &quick_open_target::fromRawValue),
            .group = Group::openModes},
        Preference<std::optional<KeyboardShortcut>>{.key = "libraryShortcut",
                                                    .property = &S::libraryShortcut,
                                                    .defaultValue = std::nullopt,
                                                    .stored = shortcutForm(),
                                                    .group = Group::openModes},
        Preference<SearchSortPriority>{
            .key = "searchSortPriority",
            .property = &S::searchSortPriority,
            .defaultValue = SearchSortPriority::emojiFirst,
            .stored = caseNameForm(&search_sort_priority::rawValue, &search_sort_priority::fromRawValue)},
        Preference<bool>{.key = "showPinsFirstInSearchResults",
                         .property = &S::showPinsFirstInSearchResults,
                         .defaultValue = true,
                         .stored = booleanForm()},
        Preference<bool>{.key = "pinSortingAffectsGlobalSearchResults",
                         .property = &S::pinSortingAffectsGlobalSearchResults,
                         .defaultValue = true,
                         .stored = booleanForm()},
        Preference<std::vector<std::string>>{.key = "emoticonOrder",
                                             .property = &S::emoticonOrder,
                                             .defaultValue = EmoticonCatalog::defaultOrder(),
                                             .stored = stringArrayForm(),
                                             .loadRule = loadedEmoticonOrder,
                                             .group = Group::emoticons},
        Preference<std::set<std::string>>{.key = "hiddenEmoticonIDs",
                                          .property = &S::hiddenEmoticonIDs,
                                          .defaultValue = {},
                                          .stored = sortedStringArrayForm(),
                                          .loadRule = loadedHiddenEmoticons,
                                          .group = Group::emoticons},
        Preference<std::map<std::string, std::string>>{.key = "rememberedEmojiVariantsByEntryID",
                                                       .property = &S::rememberedEmojiVariantsByEntryID,
                                                       .defaultValue = {},
                                                       .stored = stringMapForm()});
    return rows;
}

template <class F>
void PreferencesStore::forEachRow(F f) {
    std::apply([&f](const auto&... rows) { (f(rows), ...); }, table());
}

template <class T>
const PreferencesStore::Preference<T>& PreferencesStore::rowOf(Property<T> PreferencesStore::*property) {
    const Preference<T>* found = nullptr;
    forEachRow([&](const auto& row) {
        if constexpr (std::is_same_v<std::decay_t<decltype(row)>, Preference<T>>) {
            if (row.property == property) found = &row;
        }
    });
    if (!found) throw std::logic_error("A preference has no row in the preference table.");
    return *found;
}

// ---------------------------------------------------------------- construction and loading

PreferencesStore::PreferencesStore(DefaultsDatabase& defaults) : defaults_(defaults) {
    forEachRow([this](const auto& row) { (this->*row.property).set(row.defaultValue); });
    // Decided before anything is written, so that seeding cannot count as earlier use.
    const bool hadExistingAppState = hasExistingAppState(defaults_);
    seedMissingValues(hadExistingAppState);
    load();
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

bool PreferencesStore::hasExistingAppState(const DefaultsDatabase& defaults) {
    bool found = false;
    forEachRow([&](const auto& row) { found = found || defaults.contains(row.key); });
    for (const auto key : kOtherAppState) found = found || defaults.contains(key);
    return found;
}

void PreferencesStore::seedMissingValues(bool hadExistingAppState) {
    // A default that is stored as no value (no library shortcut) is not seeded.
    forEachRow([this](const auto& row) {
        if (defaults_.contains(row.key)) return;
        if (auto value = row.stored.write(row.defaultValue)) defaults_.set(row.key, std::move(*value));
    });
    if (!defaults_.contains(kHasCompletedOnboarding))
        defaults_.set(kHasCompletedOnboarding, hadExistingAppState);
}

void PreferencesStore::load() {
    // The trigger is loaded before the instant-open choice, which its collision rule must not move
    // before it has been read: the rule waits until loading is over.
    loading_ = true;
    forEachRow([this](const auto& row) { load(row); });
    loading_ = false;
}

template <class T>
void PreferencesStore::load(const Preference<T>& row) {
    auto reading = row.stored.read(defaults_, row.key, row.defaultValue);
    // Loading writes every value back. A stored value that cannot be read as what its key holds
    // (wrong type, unknown name, undecodable JSON) falls back, so its bytes are kept aside first
    // instead of being lost to the write-back.
    if (!reading.readable && defaults_.contains(row.key)) defaults_.preserveUndecodable(row.key);
    assign(row, row.loadRule ? row.loadRule(std::move(reading.value)) : std::move(reading.value));
}

// ---------------------------------------------------------------- assignment

template <class T>
bool PreferencesStore::announce(Property<T>& property, const T& value) {
    property.set(value);
    return property() == value;
}

template <class T>
void PreferencesStore::assign(const Preference<T>& row, T value) {
    if (!announce(this->*row.property, value)) return;
    if (row.rule) {
        auto corrected = row.rule(*this, value);
        if (!(corrected == value)) {
            assign(row, std::move(corrected));
            return;
        }
    }
    if (auto stored = row.stored.write(value)) {
        defaults_.set(row.key, std::move(*stored));
    } else {
        defaults_.remove(row.key);
    }
    if (row.afterWrite && !loading_) (this->*row.afterWrite)();
}

void PreferencesStore::setPopupDelayMs(std::int64_t value) {
    assign(&PreferencesStore::popupDelayMs, value);
}
void PreferencesStore::setInlineTrigger(std::string value) {
    assign(&PreferencesStore::inlineTrigger, std::move(value));
}
void PreferencesStore::setOpeningSequenceBlocklist(std::vector<std::string> value) {
    assign(&PreferencesStore::openingSequenceBlocklist, std::move(value));
}
void PreferencesStore::setKeepOpenOnShiftEnter(bool value) {
    assign(&PreferencesStore::keepOpenOnShiftEnter, value);
}
void PreferencesStore::setLaunchAtLoginEnabled(bool value) {
    assign(&PreferencesStore::launchAtLoginEnabled, value);
}
void PreferencesStore::setDefaultSkinTone(SkinTone value) {
    assign(&PreferencesStore::defaultSkinTone, value);
}
void PreferencesStore::setExcludedApps(std::vector<ExcludedApp> value) {
    assign(&PreferencesStore::excludedApps, std::move(value));
}
void PreferencesStore::setQuickOpenShortcut(QuickOpenShortcut value) {
    assign(&PreferencesStore::quickOpenShortcut, value);
}
void PreferencesStore::setQuickOpenTarget(QuickOpenTarget value) {
    assign(&PreferencesStore::quickOpenTarget, value);
}
void PreferencesStore::setLibraryShortcut(std::optional<KeyboardShortcut> value) {
    assign(&PreferencesStore::libraryShortcut, std::move(value));
}
void PreferencesStore::setSearchSortPriority(SearchSortPriority value) {
    assign(&PreferencesStore::searchSortPriority, value);
}
void PreferencesStore::setShowPinsFirstInSearchResults(bool value) {
    assign(&PreferencesStore::showPinsFirstInSearchResults, value);
}
void PreferencesStore::setPinSortingAffectsGlobalSearchResults(bool value) {
    assign(&PreferencesStore::pinSortingAffectsGlobalSearchResults, value);
}
void PreferencesStore::setEmoticonOrder(std::vector<std::string> value) {
    assign(&PreferencesStore::emoticonOrder, std::move(value));
}
void PreferencesStore::setHiddenEmoticonIDs(std::set<std::string> value) {
    assign(&PreferencesStore::hiddenEmoticonIDs, std::move(value));
}
void PreferencesStore::setRememberedEmojiVariantsByEntryID(std::map<std::string, std::string> value) {
    assign(&PreferencesStore::rememberedEmojiVariantsByEntryID, std::move(value));
}

// ---------------------------------------------------------------- rules

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

template <class Which>
void PreferencesStore::resetRows(Which which) {
    forEachRow([&](const auto& row) {
        if (which(row.key, row.group)) assign(row, row.defaultValue);
    });
}

void PreferencesStore::resetEmoticonPreferencesToDefaults() {
    resetRows([](std::string_view, Group group) { return group == Group::emoticons; });
}

void PreferencesStore::resetOpenModesToDefaults() {
    resetRows([](std::string_view, Group group) { return group == Group::openModes; });
}

void PreferencesStore::resetAllSettingsToDefaults() {
    // The popup delay, then the open modes as one step (as their own reset does), then the rest.
    constexpr std::string_view first = "popupDelayMs";
    resetRows([first](std::string_view key, Group) { return key == first; });
    resetOpenModesToDefaults();
    resetRows(
        [first](std::string_view key, Group group) { return key != first && group != Group::openModes; });
}

}  // namespace mosaiko

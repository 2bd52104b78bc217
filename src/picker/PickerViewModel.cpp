#include "picker/PickerViewModel.hpp"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "content/CollectionsStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmojiUsageStore.hpp"
#include "content/PreferencesStore.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

namespace {

constexpr const char* kSnippetPrefix = "snippet-";
constexpr const char* kEmoticonPrefix = "emoticon-";
constexpr const char* kGlyphPrefix = "glyph-";

constexpr std::size_t kRecentsShown = 20;
constexpr std::size_t kBaseEntriesShown = 40;
constexpr int kMatchedSearchLimit = 60;
constexpr int kUnmatchedSearchLimit = 240;
constexpr std::size_t kUnmatchedResultCap = 120;
// Results copied out of the database ahead of the last one shown: a few pages of the strip.
constexpr std::size_t kBuiltAhead = 32;

bool hasPrefix(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

// Light to dark: rows and columns of the mixed-tone matrix.
constexpr SkinTone kMatrixTones[] = {SkinTone::light, SkinTone::mediumLight, SkinTone::medium,
                                     SkinTone::mediumDark, SkinTone::dark};

std::optional<int> matrixPosition(SkinTone tone) {
    for (int i = 0; i < 5; ++i)
        if (kMatrixTones[i] == tone) return i;
    return std::nullopt;
}

int wrapped(int value, int count) {
    return ((value % count) + count) % count;
}

}  // namespace

PickerViewModel::PickerViewModel(EmojiDatabase& db, PreferencesStore& prefs, EmojiUsageStore& usage,
                                 CollectionsStore& collections, MainLoop& mainLoop)
    : db_(db), prefs_(prefs), usage_(usage), collections_(collections), rebuild_(mainLoop, [this] {
          pins_.reset();
          rebuildResults();
      }) {
    auto rebuild = [this](const auto&) { rebuild_.request(); };
    cancellables_.push_back(db_.observeEmojis([this](const auto&) {
        // The rows name entries of the old list: none is copied out until the rebuild.
        resultRows_.clear();
        rebuild_.request();
    }));
    cancellables_.push_back(collections_.pinnedIDs.observe(rebuild));
    cancellables_.push_back(collections_.pinAliasesByID.observe(rebuild));
    cancellables_.push_back(prefs_.searchSortPriority.observe(rebuild));
    cancellables_.push_back(prefs_.showPinsFirstInSearchResults.observe(rebuild));
    cancellables_.push_back(prefs_.pinSortingAffectsGlobalSearchResults.observe(rebuild));
    // These notify before the store holds the new value, so they hand it over.
    cancellables_.push_back(prefs_.defaultSkinTone.observe(
        [this](SkinTone tone) { syncVariantSelectionToDefaultTone(SelectionOrigin::programmatic, tone); }));
    cancellables_.push_back(prefs_.rememberedEmojiVariantsByEntryID.observe(
        [this](const std::map<std::string, std::string>& remembered) {
            syncVariantSelectionToDefaultTone(SelectionOrigin::programmatic, std::nullopt, &remembered);
        }));
    rebuildResults();
}

PickerViewModel::~PickerViewModel() = default;

// ------------------------------------------------------------------ derived state

const EmojiEntry* PickerViewModel::activeEntry() const {
    const auto& list = results();
    const int i = selectedIndex();
    if (i < 0 || static_cast<std::size_t>(i) >= list.size()) return nullptr;
    return &list[static_cast<std::size_t>(i)];
}

const EmojiEntry::Variants* PickerViewModel::activeVariants() const {
    const auto* entry = activeEntry();
    return entry && entry->variants ? &*entry->variants : nullptr;
}

const std::vector<PickerViewModel::Option>& PickerViewModel::activeOptions() const {
    static const std::vector<Option> none;
    const auto* variants = activeVariants();
    return variants ? variants->options() : none;
}

// ------------------------------------------------------------------ the panel

void PickerViewModel::setPanelVisible(bool visible) {
    isVisible.set(visible);
}

void PickerViewModel::lockHoverSelection() {
    acceptsMouseHoverSelection.set(false);
}

void PickerViewModel::unlockHoverSelection() {
    acceptsMouseHoverSelection.set(true);
}

// ------------------------------------------------------------------ query and scope

void PickerViewModel::resetForNewSession(const std::string& newQuery, Scope newScope) {
    query.set(newQuery);
    scope.set(newScope);
    focusRow.set(FocusRow::main);
    isMixButtonFocused.set(false);
    isShowingMixedTonePopover.set(false);
    lastMainSelectionOrigin_ = SelectionOrigin::programmatic;
    lastVariantSelectionOrigin_ = SelectionOrigin::programmatic;
    acceptsMouseHoverSelection.set(false);
    selectedVariantIndex.set(0);
    rebuildResults();
    selectedIndex.set(0);
    syncVariantSelectionToDefaultTone(SelectionOrigin::programmatic);
}

void PickerViewModel::updateQuery(const std::string& newQuery) {
    query.set(newQuery);
    focusRow.set(FocusRow::main);
    isMixButtonFocused.set(false);
    isShowingMixedTonePopover.set(false);
    rebuildResults();
    lastMainSelectionOrigin_ = SelectionOrigin::programmatic;
    lastVariantSelectionOrigin_ = SelectionOrigin::programmatic;
    selectedIndex.set(0);
    syncVariantSelectionToDefaultTone(SelectionOrigin::programmatic);
}

void PickerViewModel::setScope(Scope newScope) {
    scope.set(newScope);
    focusRow.set(FocusRow::main);
    isMixButtonFocused.set(false);
    isShowingMixedTonePopover.set(false);
    lastMainSelectionOrigin_ = SelectionOrigin::programmatic;
    selectedIndex.set(0);
    rebuildResults();
    syncVariantSelectionToDefaultTone(SelectionOrigin::programmatic);
}

// ------------------------------------------------------------------ results

namespace {

// The pin ordering of all-scope search results, for entries or for row numbers: `positionOf` gives
// an item's place in the pin list, or -1 when it is not pinned.
template <class T, class PositionOf>
std::vector<T> orderedByPins(std::vector<T> items, bool showPinsFirst,
                             bool pinSortingAffectsGlobalSearchResults, PositionOf positionOf) {
    if (items.empty() || (!showPinsFirst && !pinSortingAffectsGlobalSearchResults)) return items;
    std::vector<int> position(items.size());
    bool anyPinned = false;
    for (std::size_t i = 0; i < items.size(); ++i) {
        position[i] = positionOf(items[i]);
        anyPinned = anyPinned || position[i] >= 0;
    }
    if (!anyPinned) return items;

    std::vector<std::pair<int, T>> pinned;
    std::vector<T> others;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (position[i] >= 0) {
            pinned.emplace_back(position[i], std::move(items[i]));
        } else {
            others.push_back(std::move(items[i]));
        }
    }
    if (pinSortingAffectsGlobalSearchResults) {
        std::stable_sort(pinned.begin(), pinned.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    if (showPinsFirst) {
        std::vector<T> result;
        result.reserve(items.size());
        for (auto& [_, item] : pinned) result.push_back(std::move(item));
        for (auto& item : others) result.push_back(std::move(item));
        return result;
    }
    // The pins trade places among the slots the search gave them, in pin order.
    std::size_t nextPinned = 0;
    std::size_t nextOther = 0;
    for (std::size_t i = 0; i < items.size(); ++i)
        items[i] = position[i] >= 0 ? std::move(pinned[nextPinned++].second) : std::move(others[nextOther++]);
    return items;
}

}  // namespace

int PickerViewModel::resultCount() const {
    return static_cast<int>(std::max(results().size(), resultRows_.size()));
}

bool PickerViewModel::keeps(std::uint32_t row) const {
    switch (scope()) {
        case Scope::all:
            return true;
        case Scope::pinned:
            return pins().exactPlace[row] >= 0;
        case Scope::shortcodes:
            return hasPrefix(db_.entryAtRow(row).id, kSnippetPrefix);
        case Scope::emoticons:
            return hasPrefix(db_.entryAtRow(row).id, kEmoticonPrefix);
        case Scope::glyphs:
            return hasPrefix(db_.entryAtRow(row).id, kGlyphPrefix);
    }
    return true;
}

const PickerViewModel::PinRows& PickerViewModel::pins() const {
    const auto count = db_.index().size();
    if (pins_ && pins_->exactPlace.size() == count) return *pins_;
    PinRows pins;
    pins.prioritized.assign(count, 0);
    pins.exactPlace.assign(count, -1);
    const auto& pinnedIDs = collections_.pinnedIDs();
    for (std::size_t i = 0; i < pinnedIDs.size(); ++i) {
        const auto found = db_.rowForID(pinnedIDs[i]);
        if (!found) continue;
        const auto row = static_cast<std::uint32_t>(*found);
        if (!pins.prioritized[row]) {
            pins.prioritized[row] = 1;
            pins.inPinOrder.push_back(row);
        }
        // A pin names its entry by the entry's exact id; the first pin of an id gives its place.
        if (pins.exactPlace[row] < 0 && db_.entryAtRow(row).id == pinnedIDs[i]) {
            pins.exactPlace[row] = static_cast<int>(i);
            pins.anyExact = true;
        }
    }
    pins_ = std::move(pins);
    return *pins_;
}

std::vector<std::uint32_t> PickerViewModel::rowsWithPrefix(const char* prefix) const {
    std::vector<std::uint32_t> result;
    const auto count = db_.index().size();
    for (std::size_t row = 0; row < count; ++row)
        if (hasPrefix(db_.entryAtRow(row).id, prefix)) result.push_back(static_cast<std::uint32_t>(row));
    return result;
}

std::optional<std::vector<std::uint32_t>> PickerViewModel::tabRows(const std::string& q) const {
    const std::string t = text::lowercased(text::trimmed(q));
    if (t.empty() || text::characterCount(t) < 3) return std::nullopt;
    auto hit = [&t](std::initializer_list<const char*> words) {
        return std::any_of(words.begin(), words.end(),
                           [&t](const char* w) { return hasPrefix(w, t.c_str()); });
    };
    std::vector<std::uint32_t> rows;
    if (hit({"glyphs", "glyph"})) {
        rows = rowsWithPrefix(kGlyphPrefix);
    } else if (hit({"pins", "pinned"})) {
        rows = pins().inPinOrder;
    } else if (hit({"shortcodes", "snippets"})) {
        rows = rowsWithPrefix(kSnippetPrefix);
    } else if (hit({"emoticons", "emoticon"})) {
        rows = rowsWithPrefix(kEmoticonPrefix);
    } else {
        return std::nullopt;
    }
    if (rows.empty()) return std::nullopt;  // an empty tab is no match
    return rows;
}

std::vector<std::uint32_t> PickerViewModel::searchRows(const std::string& q) const {
    const auto tab = tabRows(q);
    const auto* categoryRows = db_.categoryRows(q);
    const bool matched = categoryRows || tab;
    const PinRows& pinned = pins();
    const bool pinsFirst = scope() == Scope::all && prefs_.showPinsFirstInSearchResults();
    static const std::vector<std::uint8_t> none;
    const auto found =
        db_.searchRows(q, matched ? kMatchedSearchLimit : kUnmatchedSearchLimit, prefs_.searchSortPriority(),
                       pinsFirst ? pinned.prioritized : none, collections_.extraSearchTermsByItemID());

    std::vector<std::uint32_t> rows;
    std::vector<std::uint8_t> taken(db_.index().size(), 0);
    auto merge = [&](const auto& list) {
        for (const auto row : list) {
            const auto r = static_cast<std::uint32_t>(row);
            if (!taken[r] && keeps(r)) {
                taken[r] = 1;
                rows.push_back(r);
            }
        }
    };
    merge(found);
    if (categoryRows) merge(*categoryRows);
    if (tab) merge(*tab);

    if (scope() == Scope::all && pinned.anyExact) {
        rows = orderedByPins(std::move(rows), prefs_.showPinsFirstInSearchResults(),
                             prefs_.pinSortingAffectsGlobalSearchResults(),
                             [&](std::uint32_t row) { return pinned.exactPlace[row]; });
    }
    if (!matched && rows.size() > kUnmatchedResultCap) rows.resize(kUnmatchedResultCap);
    return rows;
}

std::vector<EmojiEntry> PickerViewModel::recentsAndFirstEntries() const {
    std::vector<EmojiEntry> list;
    std::unordered_set<std::string> taken;
    const auto& recents = usage_.recents();
    for (std::size_t i = 0; i < recents.size() && i < kRecentsShown; ++i) {
        const std::string& text = recents[i];
        if (auto entry = db_.entryForEmoji(text)) {
            if (taken.insert(entry->id).second) list.push_back(std::move(*entry));
        } else {
            EmojiEntry recent;
            recent.id = kRecentIDPrefix + text;
            recent.emoji = text;
            recent.name = "Recent";
            recent.category = "Recents";
            if (taken.insert(recent.id).second) list.push_back(std::move(recent));
        }
    }
    const auto& base = db_.baseEmojis();
    for (std::size_t i = 0; i < base.size() && i < kBaseEntriesShown; ++i)
        if (taken.insert(base[i].id).second) list.push_back(base[i]);
    return list;
}

std::vector<EmojiEntry> PickerViewModel::entriesOfRows(std::size_t from, std::size_t to) const {
    std::vector<EmojiEntry> entries;
    entries.reserve(to - from);
    for (std::size_t i = from; i < to; ++i) entries.push_back(db_.entryAtRow(resultRows_[i]));
    return entries;
}

std::size_t PickerViewModel::builtCountFor(int index) const {
    return std::min(resultRows_.size(), static_cast<std::size_t>(std::max(index, 0)) + 1 + kBuiltAhead);
}

void PickerViewModel::showResultsThrough(int index) {
    const std::size_t built = results().size();
    // Entries are copied a stretch at a time, not for every tile the strip scrolls into view.
    if (index < 0 || static_cast<std::size_t>(index) < built || built >= resultRows_.size()) return;
    auto more = entriesOfRows(built, builtCountFor(index));
    results.modify([&](std::vector<EmojiEntry>& list) {
        list.insert(list.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    });
}

void PickerViewModel::clampSelection(bool resetOrigin) {
    const int count = resultCount();
    if (selectedIndex() >= count) {
        selectedIndex.set(std::max(count - 1, 0));
        if (resetOrigin) lastMainSelectionOrigin_ = SelectionOrigin::programmatic;
    }
}

void PickerViewModel::rebuildResults() {
    std::optional<std::string> previousID;
    if (const auto* entry = activeEntry()) previousID = entry->id;

    // Only the entries the strip shows, and a stretch ahead of them, are copied out of the database;
    // the rest of the list is kept as row numbers until the strip or the selection reaches it.
    const std::string q = text::trimmed(query());
    const Scope s = scope();
    if (q.empty() && s == Scope::all) {
        resultRows_.clear();
        results.set(recentsAndFirstEntries());
    } else {
        resultRows_ = !q.empty()               ? searchRows(q)
                      : s == Scope::pinned     ? pins().inPinOrder
                      : s == Scope::shortcodes ? rowsWithPrefix(kSnippetPrefix)
                      : s == Scope::emoticons  ? rowsWithPrefix(kEmoticonPrefix)
                                               : rowsWithPrefix(kGlyphPrefix);
        std::optional<int> reselected;
        if (previousID && !q.empty()) {
            const auto it = std::find_if(resultRows_.begin(), resultRows_.end(), [&](std::uint32_t row) {
                return db_.entryAtRow(row).id == *previousID;
            });
            if (it != resultRows_.end()) reselected = static_cast<int>(it - resultRows_.begin());
        }
        const int through = std::max({reselected.value_or(0), selectedIndex(), 0});
        results.set(entriesOfRows(0, builtCountFor(through)));
        if (q.empty()) {
            clampSelection(false);  // a tab's whole list: no re-selection
            return;
        }
        if (reselected) {
            selectedIndex.set(*reselected);
            lastMainSelectionOrigin_ = SelectionOrigin::programmatic;
        }
        clampSelection(true);
        return;
    }
    if (previousID) {
        const auto& now = results();
        const auto it =
            std::find_if(now.begin(), now.end(), [&](const EmojiEntry& e) { return e.id == *previousID; });
        if (it != now.end()) {
            selectedIndex.set(static_cast<int>(it - now.begin()));
            lastMainSelectionOrigin_ = SelectionOrigin::programmatic;
        }
    }
    clampSelection(true);
}

std::vector<EmojiEntry> PickerViewModel::orderedGlobalSearchEntries(
    std::vector<EmojiEntry> entries, const std::vector<std::string>& pinnedIDs, bool showPinsFirst,
    bool pinSortingAffectsGlobalSearchResults) {
    if (entries.empty() || pinnedIDs.empty()) return entries;
    std::unordered_map<std::string, int> position;
    for (std::size_t i = 0; i < pinnedIDs.size(); ++i) position.emplace(pinnedIDs[i], static_cast<int>(i));
    return orderedByPins(std::move(entries), showPinsFirst, pinSortingAffectsGlobalSearchResults,
                         [&](const EmojiEntry& entry) {
                             const auto it = position.find(entry.id);
                             return it == position.end() ? -1 : it->second;
                         });
}

// ------------------------------------------------------------------ main-row selection

bool PickerViewModel::hoverBlocked(SelectionOrigin origin) const {
    return origin == SelectionOrigin::mouseHover && !acceptsMouseHoverSelection();
}

void PickerViewModel::moveSelection(int delta) {
    const int count = resultCount();
    if (count == 0) return;
    lastMainSelectionOrigin_ = SelectionOrigin::keyboard;
    const int index = wrapped(selectedIndex() + delta, count);
    showResultsThrough(index);
    selectedIndex.set(index);
    syncVariantSelectionToDefaultTone(SelectionOrigin::programmatic);
}

void PickerViewModel::selectMain(int index, SelectionOrigin origin) {
    if (index < 0 || static_cast<std::size_t>(index) >= results().size()) return;
    if (hoverBlocked(origin)) return;
    lastMainSelectionOrigin_ = origin;
    focusRow.set(FocusRow::main);
    isMixButtonFocused.set(false);
    isShowingMixedTonePopover.set(false);
    selectedIndex.set(index);
    syncVariantSelectionToDefaultTone(SelectionOrigin::programmatic);
}

// ------------------------------------------------------------------ variants

void PickerViewModel::selectVariant(int index, SelectionOrigin origin) {
    const auto& options = activeOptions();
    if (index < 0 || static_cast<std::size_t>(index) >= options.size()) return;
    if (hoverBlocked(origin)) return;
    const Option option = options[static_cast<std::size_t>(index)];
    lastVariantSelectionOrigin_ = origin;
    focusRow.set(FocusRow::variants);
    isMixButtonFocused.set(option.isMixed());  // a mixed variant is shown through the mix button
    selectedVariantIndex.set(index);
    if (origin == SelectionOrigin::mouseClick) {
        const EmojiEntry entry = *activeEntry();
        prefs_.rememberEmojiVariant(option, entry);
    }
}

void PickerViewModel::focusMixButton(SelectionOrigin origin) {
    const auto* variants = activeVariants();
    if (!variants || !variants->supportsMixedToneMatrix()) return;
    if (hoverBlocked(origin)) return;
    lastVariantSelectionOrigin_ = origin;
    focusRow.set(FocusRow::variants);
    isMixButtonFocused.set(true);
}

std::vector<int> PickerViewModel::activeQuickVariantIndices() const {
    std::vector<int> indices;
    const auto& options = activeOptions();
    for (std::size_t i = 0; i < options.size(); ++i)
        if (!options[i].isMixed()) indices.push_back(static_cast<int>(i));
    return indices;
}

bool PickerViewModel::selectedVariantIsMixed() const {
    const auto& options = activeOptions();
    const int i = selectedVariantIndex();
    return i >= 0 && static_cast<std::size_t>(i) < options.size() &&
           options[static_cast<std::size_t>(i)].isMixed();
}

void PickerViewModel::moveVariantHorizontally(int delta) {
    const auto* variants = activeVariants();
    if (!variants || variants->options().empty()) return;
    lastVariantSelectionOrigin_ = SelectionOrigin::keyboard;
    if (isShowingMixedTonePopover()) {
        moveMixedToneSelection(0, delta);
        return;
    }
    const auto quick = activeQuickVariantIndices();
    const bool matrix = variants->supportsMixedToneMatrix();
    const int count =
        static_cast<int>(quick.size()) + (matrix ? 1 : 0);  // quick variants, then the mix button
    if (count == 0) return;

    int current = 0;
    if (isMixButtonFocused() || (selectedVariantIsMixed() && matrix)) {
        current = count - 1;
    } else {
        const auto it = std::find(quick.begin(), quick.end(), selectedVariantIndex());
        current = it == quick.end() ? 0 : static_cast<int>(it - quick.begin());
    }
    const int next = wrapped(current + delta, count);
    if (next < static_cast<int>(quick.size())) {
        selectVariant(quick[static_cast<std::size_t>(next)], SelectionOrigin::keyboard);
    } else {
        focusMixButton(SelectionOrigin::keyboard);
    }
}

void PickerViewModel::moveVariantVertically(int delta) {
    if (activeOptions().empty()) return;
    lastVariantSelectionOrigin_ = SelectionOrigin::keyboard;
    if (isShowingMixedTonePopover()) {
        moveMixedToneSelection(delta, 0);
        return;
    }
    if (delta < 1) {
        focusRow.set(FocusRow::variants);  // the variants row sits above the main row
    } else {
        focusRow.set(FocusRow::main);
        isMixButtonFocused.set(false);
    }
}

std::vector<SkinTone> PickerViewModel::currentTonePair() const {
    const SkinTone preferred = prefs_.defaultSkinTone();
    const SkinTone fallback = preferred == SkinTone::defaultTone ? SkinTone::medium : preferred;
    const auto& options = activeOptions();
    const int i = selectedVariantIndex();
    if (i < 0 || static_cast<std::size_t>(i) >= options.size()) return {fallback, fallback};
    const auto& tones = options[static_cast<std::size_t>(i)].tones;
    if (tones.size() == 1) return {tones[0], tones[0]};
    if (tones.size() == 2) return tones;
    return {fallback, fallback};
}

void PickerViewModel::moveMixedToneSelection(int rowDelta, int columnDelta) {
    const auto* variants = activeVariants();
    if (!variants || !variants->supportsMixedToneMatrix()) return;
    const auto pair = currentTonePair();
    const auto row = matrixPosition(pair[0]);
    const auto column = matrixPosition(pair[1]);
    if (!row || !column) return;
    const int r = std::clamp(*row + rowDelta, 0, 4);
    const int c = std::clamp(*column + columnDelta, 0, 4);
    if (const auto* option = variants->option(std::vector<SkinTone>{kMatrixTones[r], kMatrixTones[c]})) {
        selectedVariantIndex.set(static_cast<int>(option - variants->options().data()));
        isMixButtonFocused.set(true);
    }
}

void PickerViewModel::alignSelectionForMixedToneMatrix() {
    const auto* variants = activeVariants();
    if (!variants || !variants->supportsMixedToneMatrix()) return;
    if (const auto* option = variants->option(currentTonePair())) {
        selectedVariantIndex.set(static_cast<int>(option - variants->options().data()));
    }
}

void PickerViewModel::openMixedToneMatrix(SelectionOrigin origin) {
    const auto* variants = activeVariants();
    if (!variants || !variants->supportsMixedToneMatrix()) return;
    focusMixButton(origin);
    alignSelectionForMixedToneMatrix();
    isShowingMixedTonePopover.set(true);
}

void PickerViewModel::toggleMixedToneMatrix() {
    if (isShowingMixedTonePopover()) {
        closeMixedToneMatrix();
    } else {
        openMixedToneMatrix(SelectionOrigin::mouseClick);
    }
}

void PickerViewModel::closeMixedToneMatrix() {
    isShowingMixedTonePopover.set(false);
}

void PickerViewModel::activateVariantSelection(bool keepOpen) {
    if (focusRow() != FocusRow::variants) return;
    if (isShowingMixedTonePopover()) {
        closeMixedToneMatrix();
    } else if (isMixButtonFocused()) {
        openMixedToneMatrix(SelectionOrigin::keyboard);  // Return on the mix button opens the matrix
        return;
    }
    uiActionSubject.send(UIAction::InsertVariant{selectedVariantIndex(), keepOpen});
}

std::optional<int> PickerViewModel::preferredVariantIndex(
    const EmojiEntry& entry, std::optional<SkinTone> defaultSkinTone,
    const std::map<std::string, std::string>* remembered) const {
    if (!entry.variants) return std::nullopt;
    const auto& variants = *entry.variants;
    const auto& map = remembered ? *remembered : prefs_.rememberedEmojiVariantsByEntryID();
    if (const auto it = map.find(entry.id); it != map.end()) {
        if (const auto* option = variants.option(std::string_view(it->second))) {
            return static_cast<int>(option - variants.options().data());
        }
    }
    if (const auto* option = variants.preferredOption(defaultSkinTone.value_or(prefs_.defaultSkinTone()))) {
        return static_cast<int>(option - variants.options().data());
    }
    return std::nullopt;
}

void PickerViewModel::syncVariantSelectionToDefaultTone(
    SelectionOrigin origin, std::optional<SkinTone> defaultSkinTone,
    const std::map<std::string, std::string>* remembered) {
    const auto* entry = activeEntry();
    lastVariantSelectionOrigin_ = origin;
    const auto index = entry ? preferredVariantIndex(*entry, defaultSkinTone, remembered) : std::nullopt;
    if (!index) {
        selectedVariantIndex.set(0);
        isMixButtonFocused.set(false);
        return;
    }
    const bool mixed = activeOptions()[static_cast<std::size_t>(*index)].isMixed();
    selectedVariantIndex.set(*index);
    isMixButtonFocused.set(mixed);
}

std::optional<std::string> PickerViewModel::selectedEmojiForInsertion() const {
    const auto* entry = activeEntry();
    if (!entry) return std::nullopt;
    const auto& options = activeOptions();
    if (focusRow() == FocusRow::variants && !options.empty()) {
        const auto i = std::clamp<int>(selectedVariantIndex(), 0, static_cast<int>(options.size()) - 1);
        return options[static_cast<std::size_t>(i)].emoji;
    }
    return prefs_.preferredEmojiText(*entry);
}

}  // namespace mosaiko

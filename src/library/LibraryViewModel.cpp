#include "library/LibraryViewModel.hpp"

#include <algorithm>
#include <array>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "content/CollectionsStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmojiUsageStore.hpp"
#include "content/GlyphCatalog.hpp"
#include "content/PreferencesStore.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

namespace {

constexpr std::string_view kGlyphPrefix = "glyph-";
constexpr std::string_view kSnippetPrefix = "snippet-";
constexpr std::string_view kEmoticonPrefix = "emoticon-";
// Entries of these categories (any letter case, surrounding blanks) are shown as text.
constexpr std::array<std::string_view, 3> kTextCategories = {"snippets", "emoticons", "glyphs"};
// Marks a place in the database's base list, where that list is kept apart from the combined one.
constexpr std::uint32_t kBasePlace = 1u << 31;

bool isGlyph(const EmojiEntry& e) {
    return e.id.starts_with(kGlyphPrefix);
}
bool isSnippet(const EmojiEntry& e) {
    return e.id.starts_with(kSnippetPrefix);
}
bool isEmoticon(const EmojiEntry& e) {
    return e.id.starts_with(kEmoticonPrefix);
}

std::string categoryKey(std::string_view category) {
    return text::lowercased(text::trimmed(category));
}

std::vector<EmojiEntry> withPrefix(const std::vector<EmojiEntry>& entries, std::string_view prefix) {
    std::vector<EmojiEntry> result;
    for (const auto& e : entries)
        if (e.id.starts_with(prefix)) result.push_back(e);
    return result;
}

}  // namespace

// ---------------------------------------------------------------- names

std::string LibraryViewModel::rawValue(ContentFilter filter) {
    switch (filter) {
        case ContentFilter::all:
            return "all";
        case ContentFilter::emoji:
            return "emoji";
        case ContentFilter::pins:
            return "pins";
        case ContentFilter::shortcodes:
            return "shortcodes";
        case ContentFilter::emoticons:
            return "emoticons";
        case ContentFilter::glyphs:
            return "glyphs";
    }
    return "all";
}

std::optional<LibraryViewModel::ContentFilter> LibraryViewModel::contentFilterFromRawValue(
    std::string_view raw) {
    for (ContentFilter filter : allContentFilters)
        if (rawValue(filter) == raw) return filter;
    return std::nullopt;
}

std::string LibraryViewModel::BrowseSection::id() const {
    switch (kind) {
        case Kind::emojiCategory:
            return "emoji-category-" + name;
        case Kind::glyphCategory:
            return "glyph-category-" + name;
        case Kind::all:
            return "all";
        case Kind::recent:
            return "recent";
    }
    return "all";
}

// ---------------------------------------------------------------- the visible entries' places

const EmojiEntry& LibraryViewModel::VisibleEntries::operator[](std::size_t index) const {
    if (copies_) return (*copies_)[index];
    const std::uint32_t place = places_[index];
    return place & kBasePlace ? db_->baseEmojis()[place & ~kBasePlace] : db_->entryAtRow(place);
}

std::optional<std::size_t> LibraryViewModel::VisibleEntries::indexOf(std::string_view id) const {
    for (std::size_t i = 0; i < size(); ++i)
        if ((*this)[i].id == id) return i;
    return std::nullopt;
}

// ---------------------------------------------------------------- life

LibraryViewModel::LibraryViewModel(EmojiDatabase& db, PreferencesStore& prefs, EmojiUsageStore& usage,
                                   CollectionsStore& collections, MainLoop& mainLoop)
    : db_(db), prefs_(prefs), usage_(usage), collections_(collections), rebuild_(mainLoop, [this] {
          rebuildVisibleEntries();
      }) {
    // Stores announce a change before they hold it; the rebuild reads them once it is stored, and
    // the several assignments of one store operation (a pin move removes, inserts, normalizes)
    // make one rebuild, so a moved pin keeps the selection.
    auto rebuild = [this](const auto&) { rebuild_.request(); };
    cancellables_.push_back(db_.observeEmojis([this](const auto&) {
        // The entries shown are read from the lists the database is about to replace.
        keepCopiesOfVisibleEntries();
        rebuild_.request();
    }));
    cancellables_.push_back(usage_.recents.observe(rebuild));
    cancellables_.push_back(collections_.pinnedIDs.observe(rebuild));
    cancellables_.push_back(collections_.pinAliasesByID.observe(rebuild));
    cancellables_.push_back(prefs_.searchSortPriority.observe(rebuild));
    cancellables_.push_back(
        prefs_.defaultSkinTone.observe([this](SkinTone tone) { syncVariantSelectionToDefaultTone(tone); }));
    cancellables_.push_back(prefs_.rememberedEmojiVariantsByEntryID.observe(
        [this](const std::map<std::string, std::string>& remembered) {
            syncVariantSelectionToDefaultTone(std::nullopt, &remembered);
        }));
    rebuildVisibleEntries();
}

LibraryViewModel::~LibraryViewModel() = default;

// ---------------------------------------------------------------- tabs, sections, search

void LibraryViewModel::setContentFilter(ContentFilter filter) {
    changeContentFilter(filter);
}

void LibraryViewModel::setBrowseSection(BrowseSection section) {
    changeBrowseSection(std::move(section));
}

void LibraryViewModel::setSearchQuery(std::string query) {
    searchQuery.set(std::move(query));
    rebuildVisibleEntries();
}

void LibraryViewModel::changeContentFilter(ContentFilter filter) {
    contentFilter.set(filter);
    normalizeBrowseSectionForCurrentFilter();
    rebuildVisibleEntries();
}

void LibraryViewModel::changeBrowseSection(BrowseSection section) {
    browseSection.set(std::move(section));
    rebuildVisibleEntries();
}

void LibraryViewModel::normalizeBrowseSectionForCurrentFilter() {
    using Kind = BrowseSection::Kind;
    const Kind kind = browseSection().kind;
    bool keep = kind == Kind::all;
    switch (contentFilter()) {
        case ContentFilter::all:
            keep = keep || kind == Kind::recent;
            break;
        case ContentFilter::emoji:
            keep = keep || kind == Kind::emojiCategory;
            break;
        case ContentFilter::glyphs:
            keep = keep || kind == Kind::glyphCategory;
            break;
        case ContentFilter::pins:
        case ContentFilter::shortcodes:
        case ContentFilter::emoticons:
            break;
    }
    if (!keep) changeBrowseSection(BrowseSection::all());
}

void LibraryViewModel::navigate(const BrowseSection& section) {
    switch (section.kind) {
        case BrowseSection::Kind::emojiCategory:
            changeContentFilter(ContentFilter::emoji);
            break;
        case BrowseSection::Kind::glyphCategory:
            changeContentFilter(ContentFilter::glyphs);
            break;
        case BrowseSection::Kind::recent:
            changeContentFilter(ContentFilter::all);
            break;
        case BrowseSection::Kind::all:
            break;
    }
    changeBrowseSection(section);
}

void LibraryViewModel::navigate(PickerViewModel::Scope pickerScope) {
    using Scope = PickerViewModel::Scope;
    ContentFilter filter = ContentFilter::all;
    switch (pickerScope) {
        case Scope::all:
            filter = ContentFilter::all;
            break;
        case Scope::pinned:
            filter = ContentFilter::pins;
            break;
        case Scope::shortcodes:
            filter = ContentFilter::shortcodes;
            break;
        case Scope::emoticons:
            filter = ContentFilter::emoticons;
            break;
        case Scope::glyphs:
            filter = ContentFilter::glyphs;
            break;
    }
    changeContentFilter(filter);
    changeBrowseSection(BrowseSection::all());
}

const std::vector<LibraryViewModel::ContentFilter>& LibraryViewModel::availableContentFilters() const {
    static const std::vector<ContentFilter> filters(std::begin(allContentFilters),
                                                    std::end(allContentFilters));
    return filters;
}

std::vector<LibraryViewModel::BrowseSection> LibraryViewModel::sidebarSections() const {
    std::vector<BrowseSection> sections;
    switch (contentFilter()) {
        case ContentFilter::all:
            return {BrowseSection::all(), BrowseSection::recent()};
        case ContentFilter::emoji:
            sections = emojiCategorySections();
            break;
        case ContentFilter::glyphs:
            sections = glyphCategorySections();
            break;
        case ContentFilter::pins:
        case ContentFilter::shortcodes:
        case ContentFilter::emoticons:
            return {};
    }
    sections.insert(sections.begin(), BrowseSection::all());
    return sections;
}

std::vector<LibraryViewModel::BrowseSection> LibraryViewModel::emojiCategorySections() const {
    std::vector<BrowseSection> sections;
    std::set<std::string> seen;
    for (const auto& e : db_.baseEmojis()) {
        std::string category = text::trimmed(e.category);
        if (category.empty() || !seen.insert(category).second) continue;
        sections.push_back(BrowseSection::emojiCategory(std::move(category)));
    }
    return sections;
}

std::vector<LibraryViewModel::BrowseSection> LibraryViewModel::glyphCategorySections() const {
    std::vector<BrowseSection> sections;
    for (auto& name : GlyphCatalog::orderedLibraryCategories(withPrefix(db_.emojis(), kGlyphPrefix)))
        sections.push_back(BrowseSection::glyphCategory(std::move(name)));
    return sections;
}

// ---------------------------------------------------------------- the visible entries

void LibraryViewModel::rebuildVisibleEntries() {
    const std::optional<std::string> previous = selectedEntryID();
    Places places = entriesForCurrentSection();
    if (!text::trimmed(searchQuery()).empty()) places = search(places);
    // Every entry belongs to the all tab, the largest list and the one most searched.
    if (contentFilter() != ContentFilter::all)
        std::erase_if(places,
                      [this](std::uint32_t place) { return !belongsToCurrentFilter(entryAt(place)); });
    VisibleEntries list;
    list.db_ = &db_;
    list.places_ = std::move(places);
    visibleEntries.set(std::move(list));

    const auto& visible = visibleEntries();
    std::optional<std::string> selection;
    if (previous && visible.indexOf(*previous))
        selection = previous;
    else if (!visible.empty())
        selection = visible.front().id;
    selectEntry(std::move(selection), SelectionOrigin::programmatic);
}

const EmojiEntry& LibraryViewModel::entryAt(std::uint32_t place) const {
    return place & kBasePlace ? db_.baseEmojis()[place & ~kBasePlace] : db_.entryAtRow(place);
}

void LibraryViewModel::keepCopiesOfVisibleEntries() {
    if (visibleEntries().copies_) return;
    visibleEntries.modify([](VisibleEntries& list) {
        auto copies = std::make_shared<std::vector<EmojiEntry>>(list.begin(), list.end());
        list.copies_ = std::move(copies);
        list.places_.clear();
    });
}

LibraryViewModel::Places LibraryViewModel::entriesForCurrentSection() const {
    const BrowseSection& section = browseSection();
    switch (section.kind) {
        case BrowseSection::Kind::emojiCategory: {
            const std::string key = categoryKey(section.name);
            // Entries share a few categories: each is compared once.
            std::unordered_map<std::string_view, bool> matching;
            const Places base = baseEntries();
            Places result;
            for (const std::uint32_t place : base) {
                const std::string& category = entryAt(place).category;
                auto found = matching.find(category);
                if (found == matching.end())
                    found = matching.emplace(category, categoryKey(category) == key).first;
                if (found->second) result.push_back(place);
            }
            return result;
        }
        case BrowseSection::Kind::glyphCategory: {
            Places result;
            for (const std::uint32_t row : rowsWithPrefix(kGlyphPrefix))
                if (GlyphCatalog::libraryCategory(db_.entryAtRow(row)) == section.name) result.push_back(row);
            return result;
        }
        case BrowseSection::Kind::all:
            return entriesForCurrentFilter();
        case BrowseSection::Kind::recent:
            return recentEntries();
    }
    return {};
}

LibraryViewModel::Places LibraryViewModel::entriesForCurrentFilter() const {
    switch (contentFilter()) {
        case ContentFilter::all:
            return orderedAllEntries();
        case ContentFilter::emoji:
            return baseEntries();
        case ContentFilter::pins: {
            Places result;
            std::unordered_set<std::uint32_t> taken;
            for (const auto& id : collections_.pinnedIDs()) {
                const auto row = db_.rowForID(id);
                if (row && taken.insert(static_cast<std::uint32_t>(*row)).second)
                    result.push_back(static_cast<std::uint32_t>(*row));
            }
            return result;
        }
        case ContentFilter::shortcodes:
            return rowsWithPrefix(kSnippetPrefix);
        case ContentFilter::emoticons:
            return rowsWithPrefix(kEmoticonPrefix);
        case ContentFilter::glyphs:
            return rowsWithPrefix(kGlyphPrefix);
    }
    return {};
}

LibraryViewModel::Places LibraryViewModel::baseEntries() const {
    const auto base = db_.baseEmojis();
    // The base list begins the combined one, unless it repeats an id and is kept apart.
    const bool rows = !base.empty() && db_.index().size() >= base.size() && &db_.entryAtRow(0) == base.data();
    Places places(base.size());
    for (std::uint32_t i = 0; i < places.size(); ++i) places[i] = rows ? i : kBasePlace | i;
    return places;
}

LibraryViewModel::Places LibraryViewModel::orderedAllEntries() const {
    // The base entries, then every entry of the combined list, each id once.
    Places places = baseEntries();
    const auto count = static_cast<std::uint32_t>(db_.index().size());
    if (places.empty() || !(places.front() & kBasePlace)) {
        // The combined list begins with the base entries, and holds each id once.
        places.resize(count);
        for (std::uint32_t row = 0; row < count; ++row) places[row] = row;
        return places;
    }
    std::unordered_set<std::string_view> taken;
    taken.reserve(places.size() + count);
    std::erase_if(places, [&](std::uint32_t place) { return !taken.insert(entryAt(place).id).second; });
    for (std::uint32_t row = 0; row < count; ++row)
        if (taken.insert(db_.entryAtRow(row).id).second) places.push_back(row);
    return places;
}

LibraryViewModel::Places LibraryViewModel::recentEntries() const {
    Places result;
    std::unordered_set<std::uint32_t> taken;
    // A recorded text may be a skin-tone form; it stands for the entry it belongs to.
    for (const auto& text : usage_.recents()) {
        const auto row = db_.rowForEmoji(text);
        if (row && taken.insert(static_cast<std::uint32_t>(*row)).second)
            result.push_back(static_cast<std::uint32_t>(*row));
    }
    return result;
}

LibraryViewModel::Places LibraryViewModel::rowsWithPrefix(std::string_view prefix) const {
    Places rows;
    const auto count = static_cast<std::uint32_t>(db_.index().size());
    for (std::uint32_t row = 0; row < count; ++row)
        if (db_.entryAtRow(row).id.starts_with(prefix)) rows.push_back(row);
    return rows;
}

LibraryViewModel::Places LibraryViewModel::search(const Places& base) const {
    // The rows whose ids the base list holds; ids are unique among rows.
    std::vector<std::uint8_t> inBase(db_.index().size(), 0);
    for (const std::uint32_t place : base) {
        if (!(place & kBasePlace)) {
            inBase[place] = 1;
            continue;
        }
        const std::string& id = entryAt(place).id;
        const auto row = db_.rowForID(id);
        if (row && db_.entryAtRow(*row).id == id) inBase[*row] = 1;
    }
    const int limit = std::max(static_cast<int>(db_.emojis().size()) + 128, 256);
    Places hits = db_.searchRows(searchQuery(), limit, prefs_.searchSortPriority(), {},
                                 collections_.extraSearchTermsByItemID());
    std::erase_if(hits, [&](std::uint32_t row) { return !inBase[row]; });
    return hits;
}

bool LibraryViewModel::belongsToCurrentFilter(const EmojiEntry& e) const {
    switch (contentFilter()) {
        case ContentFilter::all:
            return true;
        case ContentFilter::emoji:
            return !isGlyph(e) && !isSnippet(e) && !isEmoticon(e);
        case ContentFilter::pins: {
            const auto& pinned = collections_.pinnedIDs();
            return std::find(pinned.begin(), pinned.end(), e.id) != pinned.end();
        }
        case ContentFilter::shortcodes:
            return isSnippet(e);
        case ContentFilter::emoticons:
            return isEmoticon(e);
        case ContentFilter::glyphs:
            return isGlyph(e);
    }
    return true;
}

// ---------------------------------------------------------------- display texts

std::string LibraryViewModel::mainTitle() const {
    const BrowseSection& section = browseSection();
    switch (contentFilter()) {
        case ContentFilter::all:
            return section.kind == BrowseSection::Kind::recent ? "Recent" : "All Entries";
        case ContentFilter::emoji:
            return section.kind == BrowseSection::Kind::emojiCategory ? section.name : "All Emoji";
        case ContentFilter::pins:
            return "Pins";
        case ContentFilter::shortcodes:
            return "Shortcodes";
        case ContentFilter::emoticons:
            return "Emoticons";
        case ContentFilter::glyphs:
            return section.kind == BrowseSection::Kind::glyphCategory ? section.name : "All Glyphs";
    }
    return "All Entries";
}

std::string LibraryViewModel::resultsSummary() const {
    const std::size_t count = visibleEntries().size();
    const std::string query = text::trimmed(searchQuery());
    if (count == 0) return query.empty() ? "No entries yet." : "No matches";
    std::string summary = std::to_string(count) + (count == 1 ? " entry" : " entries");
    if (!query.empty()) summary += " matching \u201C" + query + "\u201D";
    return summary;
}

std::string LibraryViewModel::entrySubtitle(const EmojiEntry& entry) const {
    if (isGlyph(entry)) return "Glyph \u00B7 " + GlyphCatalog::libraryCategory(entry);
    const char* kind = isEmoticon(entry) ? "Emoticon" : isSnippet(entry) ? "Shortcode" : "Emoji";
    return std::string(kind) + " \u00B7 " + entry.category;
}

std::string LibraryViewModel::shortcodesSummary(const EmojiEntry& entry) {
    if (entry.shortcodes.empty()) return "No shortcodes";
    std::vector<std::string> codes;
    for (const auto& code : entry.shortcodes) codes.push_back(":" + code + ":");
    return text::join(codes, "  ");
}

bool LibraryViewModel::isTextEntry(const EmojiEntry& entry) {
    if (isEmoticon(entry) || isSnippet(entry) || isGlyph(entry)) return true;
    // Every tile asks at every redraw: a category of plain ASCII letters is compared without
    // taking it apart as Unicode text.
    const std::string_view category = entry.category;
    const bool plain = std::all_of(category.begin(), category.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == ' ' || c == '&';
    });
    if (plain) {
        const auto first = category.find_first_not_of(' ');
        if (first == std::string_view::npos) return false;
        const std::string_view trimmed = category.substr(first, category.find_last_not_of(' ') - first + 1);
        return std::any_of(kTextCategories.begin(), kTextCategories.end(), [&](std::string_view name) {
            return trimmed.size() == name.size() &&
                   std::equal(trimmed.begin(), trimmed.end(), name.begin(),
                              [](char a, char b) { return (a | 0x20) == b; });
        });
    }
    const std::string key = categoryKey(entry.category);
    return std::find(kTextCategories.begin(), kTextCategories.end(), key) != kTextCategories.end();
}

// ---------------------------------------------------------------- selection and variants

void LibraryViewModel::selectEntry(std::optional<std::string> id, SelectionOrigin origin) {
    lastSelectionOrigin_ = origin;
    selectedEntryID.set(std::move(id));
    syncVariantSelectionToDefaultTone();
}

std::optional<EmojiEntry> LibraryViewModel::selectedEntry() const {
    const auto& id = selectedEntryID();
    if (!id) return std::nullopt;
    if (const auto index = visibleEntries().indexOf(*id)) return visibleEntries()[*index];
    return db_.entryForID(*id);
}

std::optional<std::size_t> LibraryViewModel::currentSelectedIndex() const {
    const auto& id = selectedEntryID();
    return id ? visibleEntries().indexOf(*id) : std::nullopt;
}

int LibraryViewModel::effectiveKeyboardColumnCount() const {
    if (contentFilter() == ContentFilter::emoticons || contentFilter() == ContentFilter::shortcodes) return 1;
    return std::max(keyboardColumnCount_, 1);
}

bool LibraryViewModel::moveSelection(KeyboardNavigationDirection direction) {
    const auto& visible = visibleEntries();
    if (visible.empty()) return false;
    const long current = static_cast<long>(currentSelectedIndex().value_or(0));
    const long columns = effectiveKeyboardColumnCount();
    long target = current;
    switch (direction) {
        case KeyboardNavigationDirection::left:
            if (columns < 2) return false;
            target = current - 1;
            break;
        case KeyboardNavigationDirection::right:
            if (columns < 2) return false;
            target = current + 1;
            break;
        case KeyboardNavigationDirection::up:
            target = current - columns;
            break;
        case KeyboardNavigationDirection::down:
            target = current + columns;
            break;
    }
    target = std::clamp(target, 0L, static_cast<long>(visible.size()) - 1);
    if (target == current && selectedEntryID()) return false;
    selectEntry(visible[static_cast<std::size_t>(target)].id, SelectionOrigin::keyboard);
    return true;
}

std::optional<int> LibraryViewModel::preferredVariantIndex(
    const EmojiEntry& entry, std::optional<SkinTone> defaultSkinTone,
    const std::map<std::string, std::string>* remembered) const {
    if (!entry.variants) return std::nullopt;
    const auto& options = entry.variants->options();
    auto indexOf = [&](const EmojiEntry::Variants::Option* option) -> std::optional<int> {
        if (!option) return std::nullopt;
        const auto found = std::find(options.begin(), options.end(), *option);
        if (found == options.end()) return std::nullopt;
        return static_cast<int>(found - options.begin());
    };
    const auto& map = remembered ? *remembered : prefs_.rememberedEmojiVariantsByEntryID();
    if (const auto text = map.find(entry.id); text != map.end()) {
        if (auto index = indexOf(entry.variants->option(std::string_view(text->second)))) return index;
    }
    return indexOf(entry.variants->preferredOption(defaultSkinTone.value_or(prefs_.defaultSkinTone())));
}

void LibraryViewModel::syncVariantSelectionToDefaultTone(
    std::optional<SkinTone> defaultSkinTone, const std::map<std::string, std::string>* remembered) {
    int index = 0;
    if (const auto entry = selectedEntry()) {
        index = preferredVariantIndex(*entry, defaultSkinTone, remembered).value_or(0);
    }
    selectedVariantIndex.set(index);
}

void LibraryViewModel::selectVariant(int index, bool remembersSelection) {
    const auto entry = selectedEntry();
    if (!entry || !entry->variants) return;
    const auto& options = entry->variants->options();
    if (index < 0 || index >= static_cast<int>(options.size())) return;
    selectedVariantIndex.set(index);
    if (remembersSelection) prefs_.rememberEmojiVariant(options[static_cast<std::size_t>(index)], *entry);
}

void LibraryViewModel::previewVariant(int index) {
    selectVariant(index, false);
}

void LibraryViewModel::rememberSelectedVariantForSelectedEntry() {
    const auto entry = selectedEntry();
    if (!entry || !entry->variants) return;
    const auto& options = entry->variants->options();
    const int index = selectedVariantIndex();
    if (index >= 0 && index < static_cast<int>(options.size()))
        prefs_.rememberEmojiVariant(options[static_cast<std::size_t>(index)], *entry);
}

std::optional<std::string> LibraryViewModel::selectedTextForInsertion() const {
    const auto entry = selectedEntry();
    if (!entry) return std::nullopt;
    if (entry->variants) {
        const auto& options = entry->variants->options();
        const int index = selectedVariantIndex();
        if (index >= 0 && index < static_cast<int>(options.size()))
            return options[static_cast<std::size_t>(index)].emoji;
    }
    return prefs_.preferredEmojiText(*entry);
}

// ---------------------------------------------------------------- insert, copy, pins

std::string LibraryViewModel::insertionStatusText() const {
    const auto& name = insertionTargetName();
    if (name && !name->empty()) return "Insert into " + *name;
    return "No target app captured. Copy still works.";
}

bool LibraryViewModel::canInsertSelection() const {
    return insertionTargetName().has_value() && selectedTextForInsertion().has_value();
}

bool LibraryViewModel::insertSelectionFromKeyboard() {
    if (!insertionTargetName()) return false;
    const auto text = selectedTextForInsertion();
    if (!text) return false;
    rememberSelectedVariantForSelectedEntry();
    if (onInsertRequested) onInsertRequested(*text, true);
    return true;
}

void LibraryViewModel::insertSelection() {
    const auto text = selectedTextForInsertion();
    if (!text) return;
    rememberSelectedVariantForSelectedEntry();
    if (onInsertRequested) onInsertRequested(*text, true);
}

void LibraryViewModel::copySelection() {
    const auto text = selectedTextForInsertion();
    if (!text) return;
    rememberSelectedVariantForSelectedEntry();
    if (onCopyRequested) onCopyRequested(*text);
}

void LibraryViewModel::requestInsert(const EmojiEntry& entry, bool keepWindowOpen) {
    selectEntry(entry.id, SelectionOrigin::mouse);
    if (onInsertRequested) onInsertRequested(prefs_.preferredEmojiText(entry), keepWindowOpen);
}

bool LibraryViewModel::isPinned(const EmojiEntry& entry) const {
    const auto& pinned = collections_.pinnedIDs();
    return std::find(pinned.begin(), pinned.end(), entry.id) != pinned.end();
}

void LibraryViewModel::togglePinnedSelection() {
    if (const auto entry = selectedEntry()) collections_.togglePinned(entry->id);
}

void LibraryViewModel::removePinned(const std::string& id) {
    const auto& pinned = collections_.pinnedIDs();
    if (std::find(pinned.begin(), pinned.end(), id) != pinned.end()) collections_.togglePinned(id);
}

bool LibraryViewModel::canMovePinned(const std::string& id, int offset) const {
    const auto& pinned = collections_.pinnedIDs();
    const auto found = std::find(pinned.begin(), pinned.end(), id);
    if (found == pinned.end()) return false;
    const long target = static_cast<long>(found - pinned.begin()) + offset;
    return target >= 0 && target < static_cast<long>(pinned.size());
}

}  // namespace mosaiko

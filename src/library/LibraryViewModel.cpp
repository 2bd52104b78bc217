#include "library/LibraryViewModel.hpp"

#include <algorithm>
#include <set>
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

// Appends `entry` unless an entry with its id was taken already.
void appendOnce(std::vector<EmojiEntry>& list, std::unordered_set<std::string>& taken,
                const EmojiEntry& entry) {
    if (taken.insert(entry.id).second) list.push_back(entry);
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
    cancellables_.push_back(db_.observeEmojis(rebuild));
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
    std::vector<EmojiEntry> entries = entriesForCurrentSection();
    if (!text::trimmed(searchQuery()).empty()) entries = search(entries);
    std::erase_if(entries, [this](const EmojiEntry& e) { return !belongsToCurrentFilter(e); });
    visibleEntries.set(std::move(entries));

    const auto& visible = visibleEntries();
    std::optional<std::string> selection;
    if (previous &&
        std::any_of(visible.begin(), visible.end(), [&](const auto& e) { return e.id == *previous; }))
        selection = previous;
    else if (!visible.empty())
        selection = visible.front().id;
    selectEntry(std::move(selection), SelectionOrigin::programmatic);
}

std::vector<EmojiEntry> LibraryViewModel::entriesForCurrentSection() const {
    const BrowseSection& section = browseSection();
    switch (section.kind) {
        case BrowseSection::Kind::emojiCategory: {
            const std::string key = categoryKey(section.name);
            std::vector<EmojiEntry> result;
            for (const auto& e : db_.baseEmojis())
                if (categoryKey(e.category) == key) result.push_back(e);
            return result;
        }
        case BrowseSection::Kind::glyphCategory: {
            std::vector<EmojiEntry> result;
            for (const auto& e : db_.emojis())
                if (isGlyph(e) && GlyphCatalog::libraryCategory(e) == section.name) result.push_back(e);
            return result;
        }
        case BrowseSection::Kind::all:
            return entriesForCurrentFilter();
        case BrowseSection::Kind::recent:
            return recentEntries();
    }
    return {};
}

std::vector<EmojiEntry> LibraryViewModel::entriesForCurrentFilter() const {
    switch (contentFilter()) {
        case ContentFilter::all:
            return orderedAllEntries();
        case ContentFilter::emoji: {
            const auto base = db_.baseEmojis();
            return {base.begin(), base.end()};
        }
        case ContentFilter::pins: {
            std::vector<EmojiEntry> result;
            std::unordered_set<std::string> taken;
            for (const auto& id : collections_.pinnedIDs()) {
                if (auto entry = db_.entryForID(id)) appendOnce(result, taken, *entry);
            }
            return result;
        }
        case ContentFilter::shortcodes:
            return withPrefix(db_.emojis(), kSnippetPrefix);
        case ContentFilter::emoticons:
            return withPrefix(db_.emojis(), kEmoticonPrefix);
        case ContentFilter::glyphs:
            return withPrefix(db_.emojis(), kGlyphPrefix);
    }
    return {};
}

std::vector<EmojiEntry> LibraryViewModel::orderedAllEntries() const {
    std::vector<EmojiEntry> result;
    std::unordered_set<std::string> taken;
    result.reserve(db_.emojis().size());
    taken.reserve(db_.emojis().size());
    for (const auto& e : db_.baseEmojis()) appendOnce(result, taken, e);
    for (const auto& e : db_.emojis()) appendOnce(result, taken, e);
    return result;
}

std::vector<EmojiEntry> LibraryViewModel::recentEntries() const {
    std::vector<EmojiEntry> result;
    std::unordered_set<std::string> taken;
    // A recorded text may be a skin-tone form; it stands for the entry it belongs to.
    for (const auto& text : usage_.recents()) {
        if (auto entry = db_.entryForEmoji(text)) appendOnce(result, taken, *entry);
    }
    return result;
}

std::vector<EmojiEntry> LibraryViewModel::search(const std::vector<EmojiEntry>& base) const {
    std::unordered_set<std::string_view> ids;
    ids.reserve(base.size());
    for (const auto& e : base) ids.insert(e.id);
    const int limit = std::max(static_cast<int>(db_.emojis().size()) + 128, 256);
    std::vector<EmojiEntry> hits = db_.search(searchQuery(), limit, prefs_.searchSortPriority(), {},
                                              collections_.extraSearchTermsByItemID());
    std::erase_if(hits, [&](const EmojiEntry& e) { return !ids.contains(e.id); });
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
    const std::string category = categoryKey(entry.category);
    return category == "snippets" || category == "emoticons" || category == "glyphs";
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
    for (const auto& e : visibleEntries())
        if (e.id == *id) return e;
    return db_.entryForID(*id);
}

std::optional<std::size_t> LibraryViewModel::currentSelectedIndex() const {
    const auto& id = selectedEntryID();
    if (!id) return std::nullopt;
    const auto& visible = visibleEntries();
    for (std::size_t i = 0; i < visible.size(); ++i)
        if (visible[i].id == *id) return i;
    return std::nullopt;
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

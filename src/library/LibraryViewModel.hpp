#pragma once

#include <cstdint>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "content/EmojiEntry.hpp"
#include "content/SkinTone.hpp"
#include "picker/PickerViewModel.hpp"
#include "platform/CoalescedTask.hpp"
#include "platform/MainLoop.hpp"
#include "platform/Published.hpp"

namespace mosaiko {

class EmojiDatabase;
class PreferencesStore;
class EmojiUsageStore;
class CollectionsStore;

// The whole state of the library window: the open tab and sidebar section, the search text, the
// entries shown, the selection with its skin-tone variant, and where insertions go. Views read the
// published state and change it only through the operations below; the model recomputes its entry
// list from the stores on every change of its own state, and once a store change has been stored.
// Insert and copy requests leave through two callbacks that the shell installs. Main thread only.
class LibraryViewModel {
  public:
    // The tabs, in the order the header shows them.
    enum class ContentFilter { all, emoji, pins, shortcodes, emoticons, glyphs };
    static constexpr ContentFilter allContentFilters[] = {ContentFilter::all,       ContentFilter::emoji,
                                                          ContentFilter::pins,      ContentFilter::shortcodes,
                                                          ContentFilter::emoticons, ContentFilter::glyphs};
    static std::string rawValue(ContentFilter filter);
    static std::optional<ContentFilter> contentFilterFromRawValue(std::string_view rawValue);

    // A sidebar section: an emoji category, a glyph category, everything of the tab, or the recently
    // used entries.
    struct BrowseSection {
        enum class Kind { emojiCategory, glyphCategory, all, recent };
        Kind kind = Kind::all;
        std::string name;  // the category; empty for all and recent

        static BrowseSection emojiCategory(std::string name) {
            return {Kind::emojiCategory, std::move(name)};
        }
        static BrowseSection glyphCategory(std::string name) {
            return {Kind::glyphCategory, std::move(name)};
        }
        static BrowseSection all() { return {Kind::all, {}}; }
        static BrowseSection recent() { return {Kind::recent, {}}; }

        // "emoji-category-<name>", "glyph-category-<name>", "all" or "recent".
        std::string id() const;
        bool operator==(const BrowseSection&) const = default;
    };

    // What made the last selection change; lists scroll to the selection only after a keyboard move.
    enum class SelectionOrigin { mouse, keyboard, programmatic };
    enum class KeyboardNavigationDirection { left, right, up, down };

    // The entries shown, in order, kept as places in the database's lists: a rebuild copies no
    // entry, and each is read where the database keeps it. Entries read from it are valid until the
    // list changes. When the database is about to replace its lists, the model copies the entries
    // shown, which stay readable until its rebuild.
    class VisibleEntries {
      public:
        class const_iterator {
          public:
            using iterator_category = std::forward_iterator_tag;
            using value_type = EmojiEntry;
            using difference_type = std::ptrdiff_t;
            using pointer = const EmojiEntry*;
            using reference = const EmojiEntry&;
            const_iterator() = default;
            const_iterator(const VisibleEntries* list, std::size_t at) : list_(list), at_(at) {}
            reference operator*() const { return (*list_)[at_]; }
            pointer operator->() const { return &(*list_)[at_]; }
            const_iterator& operator++() {
                ++at_;
                return *this;
            }
            const_iterator operator++(int) { return {list_, at_++}; }
            bool operator==(const const_iterator& other) const { return at_ == other.at_; }

          private:
            const VisibleEntries* list_ = nullptr;
            std::size_t at_ = 0;
        };

        std::size_t size() const { return copies_ ? copies_->size() : places_.size(); }
        bool empty() const { return size() == 0; }
        const EmojiEntry& operator[](std::size_t index) const;
        const EmojiEntry& front() const { return (*this)[0]; }
        const_iterator begin() const { return {this, 0}; }
        const_iterator end() const { return {this, size()}; }
        // Where the entry with this id is shown; none when it is not.
        std::optional<std::size_t> indexOf(std::string_view id) const;

      private:
        friend class LibraryViewModel;
        const EmojiDatabase* db_ = nullptr;
        // Rows of the database's index, or (marked) places in its base list where that list is
        // kept apart from the combined one.
        std::vector<std::uint32_t> places_;
        std::shared_ptr<const std::vector<EmojiEntry>> copies_;
    };

    using InsertHandler = std::function<void(const std::string& text, bool keepWindowOpen)>;
    using CopyHandler = std::function<void(const std::string& text)>;

    // Store changes rebuild the entries on `mainLoop`, once they have been stored.
    LibraryViewModel(EmojiDatabase& db, PreferencesStore& prefs, EmojiUsageStore& usage,
                     CollectionsStore& collections, MainLoop& mainLoop);
    ~LibraryViewModel();
    LibraryViewModel(const LibraryViewModel&) = delete;
    LibraryViewModel& operator=(const LibraryViewModel&) = delete;

    // ---- published state, assigned only by the operations below
    OwnedPublished<BrowseSection, LibraryViewModel> browseSection{BrowseSection::all()};
    OwnedPublished<std::string, LibraryViewModel> searchQuery{""};
    OwnedPublished<ContentFilter, LibraryViewModel> contentFilter{ContentFilter::all};
    OwnedPublished<std::optional<std::string>, LibraryViewModel> selectedEntryID;
    OwnedPublished<int, LibraryViewModel> selectedVariantIndex{0};
    OwnedPublished<VisibleEntries, LibraryViewModel> visibleEntries;
    // The name of the application insertions go to; none when no target was captured.
    OwnedPublished<std::optional<std::string>, LibraryViewModel> insertionTargetName;

    // Installed by the shell; without them requests are dropped.
    InsertHandler onInsertRequested;
    CopyHandler onCopyRequested;

    EmojiDatabase& db() const { return db_; }
    PreferencesStore& prefs() const { return prefs_; }
    EmojiUsageStore& usage() const { return usage_; }
    CollectionsStore& collections() const { return collections_; }

    int keyboardColumnCount() const { return keyboardColumnCount_; }
    SelectionOrigin lastSelectionOrigin() const { return lastSelectionOrigin_; }

    // ---- tabs, sections, search
    void setContentFilter(ContentFilter filter);
    // The sidebar's choice; the tab stays.
    void setBrowseSection(BrowseSection section);
    void setSearchQuery(std::string query);
    // Opens a section, switching to the tab it belongs to (recent to the all tab).
    void navigate(const BrowseSection& section);
    // Opens the tab of a picker scope on its "all" section.
    void navigate(PickerViewModel::Scope pickerScope);

    const std::vector<ContentFilter>& availableContentFilters() const;
    std::vector<BrowseSection> sidebarSections() const;
    std::vector<BrowseSection> emojiCategorySections() const;
    std::vector<BrowseSection> glyphCategorySections() const;

    // ---- display texts
    std::string mainTitle() const;
    std::string resultsSummary() const;
    std::string entrySubtitle(const EmojiEntry& entry) const;
    static std::string shortcodesSummary(const EmojiEntry& entry);
    static bool isTextEntry(const EmojiEntry& entry);

    // ---- selection and variants
    // Selects an entry (none clears the selection) and puts the variant on its preferred option.
    void selectEntry(std::optional<std::string> id, SelectionOrigin origin);
    // Written by the entries pane: the columns of the grid it shows.
    void setKeyboardColumnCount(int columns) { keyboardColumnCount_ = columns; }
    // True when the key selected an entry.
    bool moveSelection(KeyboardNavigationDirection direction);
    // Chooses a variant of the selection; out-of-range indices do nothing.
    void selectVariant(int index, bool remembersSelection);
    // Shows a variant without remembering it (the pointer over the variant strip or the matrix).
    void previewVariant(int index);

    std::optional<EmojiEntry> selectedEntry() const;
    // The text that inserting or copying the selection uses: its chosen variant, else its
    // preferred text; none without a selection.
    std::optional<std::string> selectedTextForInsertion() const;

    // ---- insert, copy, pins
    void setInsertionTargetName(std::optional<std::string> name) { insertionTargetName.set(std::move(name)); }
    std::string insertionStatusText() const;
    // Whether Insert is offered: a captured target (an empty name counts) and a selection.
    bool canInsertSelection() const;
    // Return in the library: false without a captured target or a selection.
    bool insertSelectionFromKeyboard();
    // The Insert and Copy buttons: the selection's chosen variant, remembered for the entry.
    void insertSelection();
    void copySelection();
    // A double click or a row's Insert: selects the entry and inserts its preferred text.
    void requestInsert(const EmojiEntry& entry, bool keepWindowOpen);
    bool isPinned(const EmojiEntry& entry) const;
    void togglePinnedSelection();
    void removePinned(const std::string& id);
    bool canMovePinned(const std::string& id, int offset) const;

  private:
    void changeContentFilter(ContentFilter filter);
    void changeBrowseSection(BrowseSection section);
    void normalizeBrowseSectionForCurrentFilter();
    void rebuildVisibleEntries();
    using Places = std::vector<std::uint32_t>;
    Places entriesForCurrentSection() const;
    Places entriesForCurrentFilter() const;
    Places orderedAllEntries() const;
    Places baseEntries() const;
    Places recentEntries() const;
    Places rowsWithPrefix(std::string_view prefix) const;
    Places search(const Places& base) const;
    // The entry at a place of the database's lists.
    const EmojiEntry& entryAt(std::uint32_t place) const;
    // Copies the entries shown, for the database is about to replace the lists they are kept in.
    void keepCopiesOfVisibleEntries();
    bool belongsToCurrentFilter(const EmojiEntry& entry) const;
    std::optional<std::size_t> currentSelectedIndex() const;
    int effectiveKeyboardColumnCount() const;
    std::optional<int> preferredVariantIndex(const EmojiEntry& entry, std::optional<SkinTone> defaultSkinTone,
                                             const std::map<std::string, std::string>* remembered) const;
    void rememberSelectedVariantForSelectedEntry();
    // Puts the variant on the selection's preferred option. The arguments stand for a store value
    // that has been announced but not stored yet.
    void syncVariantSelectionToDefaultTone(
        std::optional<SkinTone> defaultSkinTone = std::nullopt,
        const std::map<std::string, std::string>* rememberedVariantsByEntryID = nullptr);

    EmojiDatabase& db_;
    PreferencesStore& prefs_;
    EmojiUsageStore& usage_;
    CollectionsStore& collections_;
    int keyboardColumnCount_ = 1;
    SelectionOrigin lastSelectionOrigin_ = SelectionOrigin::programmatic;
    std::vector<Cancellable> cancellables_;
    CoalescedTask rebuild_;
};

}  // namespace mosaiko

#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "content/EmojiEntry.hpp"
#include "content/SkinTone.hpp"
#include "platform/CoalescedTask.hpp"
#include "platform/MainLoop.hpp"
#include "platform/Published.hpp"

namespace mosaiko {

class EmojiDatabase;
class PreferencesStore;
class EmojiUsageStore;
class CollectionsStore;

// Everything the floating picker panel shows, and the one place where the picker's result list is
// computed. The picker controller resets it when a panel opens, feeds it query and scope changes,
// asks it for the text to insert and listens to its actions; the panel's views observe its
// published properties and call its operations. Main thread only.
class PickerViewModel {
  public:
    enum class Scope { all = 0, pinned = 1, shortcodes = 2, emoticons = 3, glyphs = 4 };
    enum class FocusRow { main = 0, variants = 1 };
    enum class SelectionOrigin { keyboard = 0, mouseHover = 1, mouseClick = 2, programmatic = 3 };

    // The picker's user actions, sent by the views (and by the model for Return on the variants
    // row) and handled by the controller.
    struct UIAction {
        struct InsertMain {
            int index = 0;
            bool keepOpen = false;
            bool operator==(const InsertMain&) const = default;
        };
        struct InsertVariant {
            int index = 0;
            bool keepOpen = false;
            bool operator==(const InsertVariant&) const = default;
        };
        struct OpenLibrary {
            Scope scope = Scope::all;
            bool operator==(const OpenLibrary&) const = default;
        };
        struct Close {
            bool operator==(const Close&) const = default;
        };

        UIAction(InsertMain a) : value(a) {}
        UIAction(InsertVariant a) : value(a) {}
        UIAction(OpenLibrary a) : value(a) {}
        UIAction(Close a) : value(a) {}

        std::variant<InsertMain, InsertVariant, OpenLibrary, Close> value;
        bool operator==(const UIAction&) const = default;
    };

    using Option = EmojiEntry::Variants::Option;

    // Store changes rebuild the results on `mainLoop`, once the change has been stored.
    PickerViewModel(EmojiDatabase& db, PreferencesStore& prefs, EmojiUsageStore& usage,
                    CollectionsStore& collections, MainLoop& mainLoop);
    ~PickerViewModel();
    PickerViewModel(const PickerViewModel&) = delete;
    PickerViewModel& operator=(const PickerViewModel&) = delete;

    // ---- published state: views read and observe it; only the operations below change it
    template <class T>
    using State = OwnedPublished<T, PickerViewModel>;
    State<bool> isVisible{false};  // reported by the panel through setPanelVisible
    State<std::string> query{""};  // as typed, untrimmed
    // The first results, in display order: those the strip has asked for (showResultsThrough) and a
    // stretch ahead of them. The whole list is resultCount() long.
    State<std::vector<EmojiEntry>> results{{}};
    State<int> selectedIndex{0};
    State<FocusRow> focusRow{FocusRow::main};
    State<int> selectedVariantIndex{0};
    State<bool> isMixButtonFocused{false};
    State<bool> isShowingMixedTonePopover{false};
    State<Scope> scope{Scope::all};
    State<bool> acceptsMouseHoverSelection{true};

    // Who moved the selections last; views scroll to the selection only after a keyboard move.
    SelectionOrigin lastMainSelectionOrigin() const { return lastMainSelectionOrigin_; }
    SelectionOrigin lastVariantSelectionOrigin() const { return lastVariantSelectionOrigin_; }

    // Sending with no subscriber drops the action.
    Subject<UIAction> uiActionSubject;

    // How many results the list holds, including those not in `results` yet.
    int resultCount() const;
    // The strip is about to show the results up to `index`: `results` grows to hold them and a
    // stretch beyond. Keyboard moves and re-selection grow it themselves.
    void showResultsThrough(int index);

    // The selected result; null when there is none. Valid until the results change.
    const EmojiEntry* activeEntry() const;
    // The active entry's variant options; empty without an active entry or variants.
    const std::vector<Option>& activeOptions() const;

    // ---- the panel
    void setPanelVisible(bool visible);
    // Hover never selects in a freshly shown panel: the panel locks it on every show and unlocks it
    // once the pointer has moved.
    void lockHoverSelection();
    void unlockHoverSelection();

    // ---- query and scope
    // A panel opens: the query, the scope (all, unless quick open names another), first result,
    // main row, hover locked. One rebuild.
    void resetForNewSession(const std::string& newQuery, Scope newScope = Scope::all);
    // The session's query changed while the panel shows; the selection lands on the first result.
    void updateQuery(const std::string& newQuery);
    void setScope(Scope newScope);

    // ---- selection and variants
    void moveSelection(int delta);
    void selectMain(int index, SelectionOrigin origin);
    void selectVariant(int index, SelectionOrigin origin);
    void focusMixButton(SelectionOrigin origin);
    void moveVariantHorizontally(int delta);
    void moveVariantVertically(int delta);
    void activateVariantSelection(bool keepOpen);
    // Puts the variant selection on the option the matrix shows for the current tone pair.
    void alignSelectionForMixedToneMatrix();
    // A click on the mix button: closes an open matrix, else opens it where the matrix is offered.
    void toggleMixedToneMatrix();
    void closeMixedToneMatrix();
    std::vector<int> activeQuickVariantIndices() const;
    bool selectedVariantIsMixed() const;
    // Puts the variant selection on the variant the main row would insert. The overrides stand for
    // a store value that has been announced but not stored yet.
    void syncVariantSelectionToDefaultTone(
        SelectionOrigin origin, std::optional<SkinTone> defaultSkinTone = std::nullopt,
        const std::map<std::string, std::string>* rememberedVariantsByEntryID = nullptr);
    // The text the controller inserts; none without an active entry.
    std::optional<std::string> selectedEmojiForInsertion() const;

    // The pin ordering of all-scope search results.
    static std::vector<EmojiEntry> orderedGlobalSearchEntries(std::vector<EmojiEntry> entries,
                                                              const std::vector<std::string>& pinnedIDs,
                                                              bool showPinsFirst,
                                                              bool pinSortingAffectsGlobalSearchResults);

    static constexpr const char* kRecentIDPrefix = "recent-";

  private:
    void rebuildResults();
    // The whole list for a query, as row numbers of the database's index.
    std::vector<std::uint32_t> searchRows(const std::string& query) const;
    std::optional<std::vector<std::uint32_t>> tabRows(const std::string& query) const;
    // The pins as rows of the database's index, looked up once per change of the pins or of the
    // list: with thousands of pins, looking each up again cost every letter milliseconds.
    struct PinRows {
        std::vector<std::uint32_t> inPinOrder;  // each pinned entry once, found as the search finds ids
        std::vector<std::uint8_t> prioritized;  // by row: whether it is in inPinOrder
        std::vector<int> exactPlace;            // by row: the place of the pin naming it exactly, or -1
        bool anyExact = false;
    };
    const PinRows& pins() const;
    std::vector<std::uint32_t> rowsWithPrefix(const char* prefix) const;
    bool keeps(std::uint32_t row) const;
    std::vector<EmojiEntry> recentsAndFirstEntries() const;
    std::vector<EmojiEntry> entriesOfRows(std::size_t from, std::size_t to) const;
    // How many results to copy out so that `index` and a stretch beyond it are held.
    std::size_t builtCountFor(int index) const;
    void clampSelection(bool resetOrigin);

    std::optional<int> preferredVariantIndex(const EmojiEntry& entry, std::optional<SkinTone> defaultSkinTone,
                                             const std::map<std::string, std::string>* remembered) const;
    void moveMixedToneSelection(int rowDelta, int columnDelta);
    std::vector<SkinTone> currentTonePair() const;
    const EmojiEntry::Variants* activeVariants() const;
    bool hoverBlocked(SelectionOrigin origin) const;
    void openMixedToneMatrix(SelectionOrigin origin);

    EmojiDatabase& db_;
    PreferencesStore& prefs_;
    EmojiUsageStore& usage_;
    CollectionsStore& collections_;
    SelectionOrigin lastMainSelectionOrigin_ = SelectionOrigin::programmatic;
    SelectionOrigin lastVariantSelectionOrigin_ = SelectionOrigin::programmatic;
    std::vector<Cancellable> cancellables_;
    // The whole result list as rows of the database's index, when it comes from the database (empty
    // for the recents list, which `results` holds whole).
    std::vector<std::uint32_t> resultRows_;
    // Made on demand; dropped by the rebuild that follows any store change, which finds the new
    // value stored.
    mutable std::optional<PinRows> pins_;
    // Store changes rebuild the results once they have been stored.
    CoalescedTask rebuild_;
};

}  // namespace mosaiko

#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "picker/GlobalKeyTap.hpp"
#include "picker/PickerViewModel.hpp"
#include "platform/KeyEvent.hpp"
#include "platform/KeyHolds.hpp"
#include "platform/MainLoop.hpp"
#include "platform/Published.hpp"
#include "platform/Wiring.hpp"

namespace mosaiko {

class PreferencesStore;
class PickerPanelPresenting;

// The heart of the picker. The key tap hands it every key-down and modifier change typed in any
// application; for each it answers at once whether the event goes on to the focused application or
// is dropped. While idle it watches the last typed characters for the inline trigger and the
// instant-open sequence; while a session runs it turns keys into query editing, navigation, scope
// cycling, insertion and cancellation. Main thread only.
class PickerController {
  public:
    // inline: started by the trigger; typed characters also reach the application and are counted
    // so they can be erased. exclusive: instant open, "Quick Find" or kept open after an insertion;
    // its keys are swallowed and nothing needs erasing.
    enum class Mode { inlineMode = 0, exclusive = 1 };

    struct Session {
        Mode mode = Mode::inlineMode;
        std::string query;  // lowercased; never starts with a space
        int deleteCount = 0;
        std::optional<std::string> lastCharBeforeTrigger;
        bool isShown = false;
        double showEligibleAtUptime = 0;
        double startedAtUptime = 0;
        // When the display server saw the key that started it (KeyEvent::serverTime); 0 when unknown.
        double startedAtServerTime = 0;
        // The window that was active when the session started: what it typed went there.
        std::optional<std::string> windowID;
        // Return pressed before the entries were in: the first result is inserted once they are
        // (kept open when set), unless another key comes first.
        std::optional<bool> choiceAwaitingContent;

        bool operator==(const Session&) const = default;
    };

    struct RecentTypedCharacter {
        std::string character;
        double uptime = 0;
        double serverTime = 0;  // KeyEvent::serverTime
    };

    // What one Delete press removes from the query: plain, Option-Delete, Command-Delete.
    enum class QueryDeletionMode { character = 0, word = 1, line = 2 };
    struct QueryDeletion {
        std::string updatedQuery;
        int removedCount = 0;
        bool operator==(const QueryDeletion&) const = default;
    };

    enum class OpeningSequenceSuppression { none = 0, suppressed = 1 };

    // Hands the picker over to the library window.
    struct LibraryOpenRequest {
        std::optional<PickerViewModel::Scope> pickerScope;  // none when no panel was shown
        int deletingCharsBeforeInsertion = 0;
        bool operator==(const LibraryOpenRequest&) const = default;
    };

    struct Dependencies {
        struct FrontmostApp {
            std::optional<std::string> bundleID;
            std::optional<std::string> name;
            // The active window (an opaque handle); none when unknown.
            std::optional<std::string> windowID;
        };

        // Uptime seconds.
        std::function<double()> now;
        // Erases the given number of characters with Delete presses, then types the text (nothing
        // for an empty text). False when nothing could be posted.
        std::function<bool(const std::string& text, int deleteCount)> insertEmoji;
        std::function<void(const std::string& text)> recordUsedEmoji;
        std::function<std::vector<std::string>()> pinnedIDs;
        // Whether the entries to search are in (they are read while the program starts). Optional:
        // always.
        std::function<bool()> contentReady;
        std::function<bool()> hasEmoticons;
        std::function<bool()> hasGlyphs;
        std::function<FrontmostApp()> frontmostApp;
        std::function<void(GlobalKeyTap::Handler)> startKeyTap;
        std::function<void()> stopKeyTap;
        // Tells the key tap which keys the current state may swallow, so that it holds only those.
        // Optional: a tap that is not told holds every key.
        std::function<void(const KeyHolds&)> holdKeys;
        // Asks the key tap for a mark (KeyTapPort::mark) after the holds asked for so far. Optional:
        // without it, an instant-open pair whose second key got past the tap's hold stays typed.
        std::function<void(std::int64_t token)> markKeys;
        // Calls the function once the keys last given to holdKeys are held: the panel shows only
        // then, so that none of its keys reaches the application while the user sees it. Optional:
        // without it the keys count as held at once.
        std::function<void(std::function<void()>)> whenKeysHeld;
        std::function<void()> showPanelNearMouse;
        std::function<void()> hidePanel;
        // Calls the handler whenever another application becomes frontmost, until the result is
        // dropped. Optional: a change is then noticed at the next key.
        std::function<Cancellable(std::function<void()>)> watchFrontmost;
        // This program's own application identifier: typing in its own windows starts nothing.
        std::optional<std::string> ownBundleID;

        // Every closure is required but holdKeys, whenKeysHeld and watchFrontmost; ownBundleID is
        // not.
        Wiring wiring() const;

        // Points showPanelNearMouse, hidePanel, startKeyTap, stopKeyTap, holdKeys, whenKeysHeld and
        // markKeys at the panel and the key tap, which the closures keep alive.
        void bindPanelAndKeyTap(std::shared_ptr<PickerPanelPresenting> panel,
                                std::shared_ptr<GlobalKeyTap> keyTap);
    };

    // Timers and the view model's action stream run on `mainLoop`.
    PickerController(PreferencesStore& prefs, std::unique_ptr<PickerViewModel> model,
                     Dependencies dependencies, MainLoop& mainLoop);
    ~PickerController();
    PickerController(const PickerController&) = delete;
    PickerController& operator=(const PickerController&) = delete;

    // Starts the key tap; events reach handle() from then on.
    void start();
    // Drops the popup timer, the session and the recent characters, hides the panel and stops the
    // key tap.
    void stop();

    // Installed by the application shell before start(): opens the library window for a request.
    std::function<void(const LibraryOpenRequest&)> openLibraryHandler;

    // The menus' "Quick Find": opens the panel with an empty query in an exclusive session.
    void openQuickFind();

    // While the settings window records a new library shortcut, the stored one opens nothing: its
    // presses go on to the focused window like any other key (the key tap no longer holds them), so
    // it can be recorded again.
    void setLibraryShortcutSuspended(bool suspended);
    bool isLibraryShortcutSuspended() const { return libraryShortcutSuspended_; }
    // Meanwhile every key-down typed anywhere goes here first (the recorder tells by it a
    // combination that another program took from one it has not seen yet).
    std::function<void(const KeyEvent&)> keyDownWhileLibraryShortcutSuspended;

    PickerViewModel& model() { return *model_; }
    const std::optional<Session>& session() const { return session_; }

    // The key dispatcher the key tap's handler calls for every key-down and modifier change.
    GlobalKeyTap::Decision handle(const KeyEvent& event);
    // The key presses the current state may swallow: while idle the library shortcut and the key
    // that completes the instant-open sequence; in an inline session Return, Enter, Tab, Escape,
    // the arrows, the line deletion, (while it can count) the doubled trigger, every key with Alt or
    // Super, and the repeats of keys held down; in an exclusive session every key. Nothing while
    // stopped.
    KeyHolds heldKeys() const;
    // Tab and Shift-Tab: moves to the next scope of the ring; false when there is nowhere to go.
    bool cycleScope(bool reverse);
    void handleUIAction(const PickerViewModel::UIAction& action);

    static constexpr int minQueryLengthToShow = 3;
    static constexpr double quickOpenMaxGapS = 0.75;

    static bool hasMatchedSuffix(const std::vector<std::string>& characters, const std::string& sequence);
    static QueryDeletion queryDeletion(const std::string& query, QueryDeletionMode mode);
    // What BackSpace with these modifiers erases in a Linux text field, as far as the picker can
    // count it: Super the line (the picker posts the presses itself), Control a word, nothing or
    // Shift a character; nothing countable for the rest (Alt erases a word in a terminal, undoes in
    // some toolkits and does nothing in others).
    static std::optional<QueryDeletionMode> applicationDeletion(std::uint64_t modifierFlags);
    // Alt or Super (without Control) with a key that types a character as it would without them:
    // what Linux applications type for it differs from one to the next, so an inline search takes
    // it from the application rather than count it.
    static bool isUncountableCharacter(const KeyEvent& event);
    static std::string queryInput(const KeyEvent& event);
    // The character a typed key adds to `query`, lowercased; none for a key that is no part of a
    // query (a query holds letters, numbers, "_", "+", "-" and spaces after its first character).
    static std::optional<std::string> queryCharacter(const std::string& input, const std::string& query);
    static std::optional<std::string> printableCharacter(const KeyEvent& event);
    // The character a key typed in the application as one more character, without Control, Alt or
    // Super: none for a function, movement or editing key.
    static std::optional<std::string> typedCharacter(const KeyEvent& event);
    static bool isWhitespace(const std::string& character);
    static bool inlinePopupShouldBeVisible(const std::string& query, const std::string& typedSequence,
                                           const std::vector<std::string>& blocklist,
                                           int minQueryLengthToShow, bool isAlreadyShown);
    static OpeningSequenceSuppression openingSequenceSuppression(const std::string& typed,
                                                                 const std::vector<std::string>& blocklist);
    static std::optional<PickerViewModel::Scope> nextScope(const std::vector<PickerViewModel::Scope>& ring,
                                                           PickerViewModel::Scope currentScope, bool reverse);

  private:
    using Decision = GlobalKeyTap::Decision;

    Decision dispatch(const KeyEvent& event);
    // Ends the session silently (hiding a shown panel) when another window has become active since
    // it started: its Delete presses would erase text of that window.
    void endSessionIfWindowChanged();
    Decision handleIdle(const KeyEvent& event);
    Decision handleSession(const KeyEvent& event, int keyCode);
    Decision handleDelete(const KeyEvent& event, Session& s);
    Decision handleCharacter(const KeyEvent& event, Session& s);
    void updateRecentTypedCharacters(const KeyEvent& event, Decision decision);
    std::size_t recentTypedCharactersLimit() const;
    bool isOwnApplication(const Dependencies::FrontmostApp& app) const;
    bool libraryShortcutMatches(const KeyEvent& event) const;

    // Tells the key tap when heldKeys() has changed.
    void syncHeldKeys();
    void schedulePopup();
    void armPopupTimer(double delaySeconds);
    void maybeShowPopup(Session& s);
    // Holds the panel's keys and shows the panel once they are held, unless the session has ended
    // or another has taken its place by then.
    void showPanelOnceHeld();
    void cancelSession(bool hide);
    void triggerQuickOpen(int removingTypedCharacters);
    // The instant-open pair typed within its time, whose second character reached the application
    // before the tap could hold it (its thread saw the first too late, or the program was stopped):
    // every key is held from now on, and the keys that reached the application before that are
    // told apart by the tap's mark. Query characters among them join the search; the panel opens at
    // the mark (or the first key held), erasing the pair and them. Another character among them
    // ends the search as it would have there: at the mark the pair, the query and that character are
    // erased, and the characters after it, erased with them, are typed again. Any other key among
    // them (Return, a movement or editing key, a shortcut) did what cannot be counted: it leaves
    // everything typed and opens nothing.
    Decision beginLatePair(int typed, std::optional<std::string> windowID);
    // A key that reached the application before the mark: true when it joined the search.
    bool catchUpWithLatePair(const KeyEvent& event);
    void openLatePair();
    // A notice of the key tap: a mark, or keys let through unseen.
    void handleTapNotice(const KeyEvent& event);
    // Whether a key came within the instant-open time of a key typed at these times: by the display
    // server's clock when both are known, else by when they were handled.
    bool withinQuickOpenGap(const KeyEvent& event, double startedAtUptime, double startedAtServerTime) const;
    // Whether `typed` after the session's trigger makes the instant-open sequence, whenever typed.
    bool completesQuickOpenPair(const std::string& typed, const Session& s) const;
    // A session opened with the panel shown at once and an empty query (instant open, Quick Find).
    void startShownExclusiveSession(std::optional<PickerViewModel::Scope> scope);
    bool insertSelectionAndMaybeKeepOpen(bool keep, Session& s);
    // Inserts the session's choice once the entries are in, looking every kContentPollSeconds.
    void insertChoiceOnceContentReady();
    Decision triggerLibraryOpen();
    void triggerLibraryOpenFromPicker(PickerViewModel::Scope scope);
    // A posted task or timer callback that does nothing once the controller is gone.
    std::function<void()> guarded(std::function<void()> task);

    static std::optional<std::vector<RecentTypedCharacter>> matchedSuffix(
        const std::vector<RecentTypedCharacter>& buffer, const std::string& sequence);
    static std::optional<std::string> characterBeforeMatchedSuffix(
        const std::vector<RecentTypedCharacter>& buffer, const std::string& sequence);

    PreferencesStore& prefs_;
    std::unique_ptr<PickerViewModel> model_;
    Dependencies dependencies_;
    MainLoop& mainLoop_;
    std::vector<Cancellable> cancellables_;
    std::optional<Session> session_;
    Cancellable delayTimer_;
    std::vector<RecentTypedCharacter> recentTypedCharacters_;
    struct LatePair {
        std::int64_t mark = 0;
        int typed = 0;  // characters that reached the application: the pair's, then the query's
        // Once a character that no query holds has ended the search: the characters typed after it.
        std::optional<std::string> typedAfterEnd;
    };
    std::optional<LatePair> latePair_;
    std::int64_t lastMark_ = 0;
    bool started_ = false;
    std::optional<KeyHolds> sentHolds_;
    Cancellable frontmostWatch_;
    bool libraryShortcutSuspended_ = false;
    std::uint64_t panelRequests_ = 0;  // counts showPanelOnceHeld()
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace mosaiko

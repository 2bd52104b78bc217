#include "picker/PickerController.hpp"

#include <algorithm>
#include <limits>
#include <utility>

#include "content/PreferencesStore.hpp"
#include "picker/PickerPanelPresenting.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

namespace {

using Scope = PickerViewModel::Scope;

// Grapheme clusters, without asking ICU for plain ASCII (every keystroke passes through here).
std::vector<std::string> charactersOf(std::string_view s) {
    if (text::isAscii(s) && s.find("\r\n") == std::string_view::npos) {
        std::vector<std::string> result;
        result.reserve(s.size());
        for (char c : s) result.emplace_back(1, c);
        return result;
    }
    return text::characters(s);
}

bool isSingleCharacter(std::string_view s) {
    if (s.size() == 1) return true;
    if (s.empty() || (text::isAscii(s) && s != "\r\n")) return false;
    return text::characterCount(s) == 1;
}

// Characters and texts compare under canonical equivalence.
bool sameText(std::string_view a, std::string_view b) {
    if (a == b) return true;
    if (text::isAscii(a) && text::isAscii(b)) return false;
    return text::canonicallyEqual(a, b);
}

bool startsWithNumber(std::string_view character) {
    const auto scalars = text::scalars(character);
    return !scalars.empty() && text::isNumber(scalars.front());
}

bool startsWithLetter(std::string_view character) {
    const auto scalars = text::scalars(character);
    return !scalars.empty() && text::isLetter(scalars.front());
}

std::size_t nonWhitespaceScalarCount(std::string_view s) {
    std::size_t n = 0;
    for (char32_t c : text::scalars(s))
        if (!text::isWhitespace(c)) ++n;
    return n;
}

// How often a search whose panel waits for the entries looks whether they are in.
constexpr double kContentPollSeconds = 0.05;

Scope scopeFor(QuickOpenTarget target) {
    switch (target) {
        case QuickOpenTarget::all:
            return Scope::all;
        case QuickOpenTarget::pins:
            return Scope::pinned;
        case QuickOpenTarget::shortcodes:
            return Scope::shortcodes;
        case QuickOpenTarget::emoticons:
            return Scope::emoticons;
    }
    return Scope::all;
}

}  // namespace

// ------------------------------------------------------------------ construction, start, stop

void PickerController::Dependencies::bindPanelAndKeyTap(std::shared_ptr<PickerPanelPresenting> panel,
                                                        std::shared_ptr<GlobalKeyTap> keyTap) {
    showPanelNearMouse = [panel] { panel->showNearPointer(); };
    hidePanel = [panel] { panel->hide(); };
    startKeyTap = [keyTap](GlobalKeyTap::Handler handler) { keyTap->start(std::move(handler)); };
    stopKeyTap = [keyTap] { keyTap->stop(); };
    holdKeys = [keyTap](const KeyHolds& holds) { keyTap->hold(holds); };
    markKeys = [keyTap](std::int64_t token) { keyTap->mark(token); };
    whenKeysHeld = [keyTap](std::function<void()> then) { keyTap->whenHeld(std::move(then)); };
}

Wiring PickerController::Dependencies::wiring() const {
    return Wiring()
        .require("now", now)
        .require("insertEmoji", insertEmoji)
        .require("recordUsedEmoji", recordUsedEmoji)
        .require("pinnedIDs", pinnedIDs)
        .require("hasEmoticons", hasEmoticons)
        .require("hasGlyphs", hasGlyphs)
        .require("frontmostApp", frontmostApp)
        .require("startKeyTap", startKeyTap)
        .require("stopKeyTap", stopKeyTap)
        .require("showPanelNearMouse", showPanelNearMouse)
        .require("hidePanel", hidePanel);
}

PickerController::PickerController(PreferencesStore& prefs, std::unique_ptr<PickerViewModel> model,
                                   Dependencies dependencies, MainLoop& mainLoop)
    : prefs_(prefs), model_(std::move(model)), dependencies_(std::move(dependencies)), mainLoop_(mainLoop) {
    dependencies_.wiring().require("model", model_).check("PickerController");
    // Actions reach the controller after the event that caused them has been handled.
    cancellables_.push_back(
        model_->uiActionSubject.subscribe([this](const PickerViewModel::UIAction& action) {
            mainLoop_.post(guarded([this, action] {
                handleUIAction(action);
                syncHeldKeys();
            }));
        }));
    // The stored value changes after the announcement: look once it is there.
    auto resync = [this](const auto&) { mainLoop_.post(guarded([this] { syncHeldKeys(); })); };
    cancellables_.push_back(prefs_.libraryShortcut.observe(resync));
    cancellables_.push_back(prefs_.quickOpenShortcut.observe(resync));
    cancellables_.push_back(prefs_.inlineTrigger.observe(resync));
}

PickerController::~PickerController() {
    *alive_ = false;
}

std::function<void()> PickerController::guarded(std::function<void()> task) {
    std::weak_ptr<bool> alive = alive_;
    return [alive, task = std::move(task)] {
        const auto token = alive.lock();
        if (!token || !*token) return;
        try {
            task();
        } catch (...) {
            // Nothing may escape a timer or a posted task; the state change simply did not happen.
        }
    };
}

void PickerController::start() {
    started_ = true;
    syncHeldKeys();
    std::weak_ptr<bool> alive = alive_;
    dependencies_.startKeyTap([this, alive](const KeyEvent& event) {
        const auto token = alive.lock();
        if (!token || !*token) return Decision::passThrough;
        return handle(event);
    });
    if (dependencies_.watchFrontmost) {
        frontmostWatch_ = dependencies_.watchFrontmost(guarded([this] {
            endSessionIfWindowChanged();
            syncHeldKeys();
        }));
    }
}

void PickerController::stop() {
    frontmostWatch_.cancel();
    delayTimer_.cancel();
    session_.reset();
    latePair_.reset();
    recentTypedCharacters_ = {};
    started_ = false;
    syncHeldKeys();
    dependencies_.hidePanel();
    dependencies_.stopKeyTap();
}

KeyHolds PickerController::heldKeys() const {
    KeyHolds holds;
    if (!started_) return holds;
    if (session_ && session_->mode == Mode::exclusive) {
        holds.everyKey = true;
        return holds;
    }
    if (const auto& shortcut = prefs_.libraryShortcut();
        shortcut && openLibraryHandler && !libraryShortcutSuspended_) {
        holds.keys.push_back(
            KeyHold::key(shortcut->keyCode, shortcut->modifierFlagsRawValue & ModifierFlag::shortcutMask));
    }
    const auto sequence = quick_open_shortcut::sequence(prefs_.quickOpenShortcut());
    const auto pair = sequence ? charactersOf(*sequence) : std::vector<std::string>{};
    if (!session_) {
        // Held right after its first character by the tap itself, which sees that character first:
        // a main loop running behind could otherwise hold it too late.
        if (pair.size() == 2)
            holds.keys.push_back(KeyHold::typingRightAfter(pair[1], pair[0], quickOpenMaxGapS,
                                                           std::numeric_limits<double>::infinity()));
        return holds;
    }
    const Session& s = *session_;
    for (std::uint64_t others = 0;
         others <= ModifierFlag::shift + ModifierFlag::control + ModifierFlag::option;
         others += ModifierFlag::shift) {  // the line deletion, whatever else is held with Command
        holds.keys.push_back(KeyHold::key(KeyCode::deleteKey, ModifierFlag::command | others));
    }
    // Alt and Super with a character key, and keys held down long enough to repeat: what they do
    // in the application cannot be counted unless the search decides them.
    holds.everyKeyWith = ModifierFlag::option | ModifierFlag::command;
    holds.repeats = true;
    const auto trigger = charactersOf(prefs_.inlineTrigger());
    if (s.query.empty() && pair.size() == 2 && trigger.size() == 1 && sameText(pair[0], trigger[0])) {
        holds.keys.push_back(KeyHold::typingRightAfter(pair[1], pair[0], quickOpenMaxGapS,
                                                       s.startedAtUptime + quickOpenMaxGapS));
    }
    // The panel's keys while it shows (before, they pass and end the search).
    if (!s.isShown) return holds;
    for (std::uint16_t key :
         {KeyCode::returnKey, KeyCode::keypadEnter, KeyCode::tab, KeyCode::escape, KeyCode::leftArrow,
          KeyCode::rightArrow, KeyCode::downArrow, KeyCode::upArrow}) {
        holds.keys.push_back(KeyHold::key(key));
    }
    return holds;
}

void PickerController::syncHeldKeys() {
    if (!dependencies_.holdKeys) return;
    KeyHolds holds = heldKeys();
    if (sentHolds_ == holds) return;
    sentHolds_ = holds;
    dependencies_.holdKeys(holds);
}

// ------------------------------------------------------------------ key dispatch

GlobalKeyTap::Decision PickerController::handle(const KeyEvent& event) {
    const Decision decision = dispatch(event);
    syncHeldKeys();
    return decision;
}

GlobalKeyTap::Decision PickerController::dispatch(const KeyEvent& event) {
    if (event.type != KeyEvent::Type::keyDown && event.type != KeyEvent::Type::flagsChanged) {
        handleTapNotice(event);
        return Decision::passThrough;
    }
    if (event.userData == kEventMarker) return Decision::passThrough;
    if (event.type == KeyEvent::Type::flagsChanged) return Decision::passThrough;
    endSessionIfWindowChanged();
    if (session_ && session_->choiceAwaitingContent) {
        // Another key after Return takes its place: it goes on with the search as ever.
        session_->choiceAwaitingContent.reset();
        delayTimer_.cancel();
    }
    if (libraryShortcutSuspended_ && keyDownWhileLibraryShortcutSuspended)
        keyDownWhileLibraryShortcutSuspended(event);

    if (latePair_) {
        if (event.held) {
            openLatePair();  // every key is held by now: this one and the rest are the panel's
        } else if (catchUpWithLatePair(event)) {
            return Decision::passThrough;
        }
    }

    if (event.held && libraryShortcutMatches(event) && !isOwnApplication(dependencies_.frontmostApp())) {
        return triggerLibraryOpen();
    }

    if (session_ && session_->mode == Mode::inlineMode && isUncountableCharacter(event)) {
        // Held, it is kept from the application and the search goes on with an exact count; one
        // that got past the hold did what it does there, which cannot be counted.
        if (event.held) return Decision::swallow;
        cancelSession(session_->isShown);
        return Decision::passThrough;
    }

    if ((event.modifierFlags & ModifierFlag::command) != 0 &&
        !(session_ && event.keyCode == KeyCode::deleteKey)) {
        recentTypedCharacters_.clear();
        return Decision::passThrough;  // Command shortcuts reach the application; a session goes on
    }

    if (!event.held && session_ && dependencies_.markKeys && isSingleCharacter(queryInput(event)) &&
        completesQuickOpenPair(queryInput(event), *session_) &&
        withinQuickOpenGap(event, session_->startedAtUptime, session_->startedAtServerTime)) {
        return beginLatePair(2, session_->windowID);
    }

    if (!event.held && session_ && heldKeys().covers(event)) {
        // The key reached the application before the tap held it (typed within the same moment as
        // the key that started or showed the search): the search can no longer take it, and ends.
        cancelSession(session_->isShown);
        updateRecentTypedCharacters(event, Decision::passThrough);
        return Decision::passThrough;
    }

    const Decision decision = session_ ? handleSession(event, event.keyCode) : handleIdle(event);
    updateRecentTypedCharacters(event, decision);
    return decision;
}

void PickerController::endSessionIfWindowChanged() {
    if (!session_ || dependencies_.frontmostApp().windowID == session_->windowID) return;
    cancelSession(session_->isShown);
}

void PickerController::setLibraryShortcutSuspended(bool suspended) {
    libraryShortcutSuspended_ = suspended;
    syncHeldKeys();
}

bool PickerController::libraryShortcutMatches(const KeyEvent& event) const {
    if (libraryShortcutSuspended_) return false;
    const auto& shortcut = prefs_.libraryShortcut();
    return shortcut && shortcut->matches(event);
}

bool PickerController::isOwnApplication(const Dependencies::FrontmostApp& app) const {
    return app.bundleID == dependencies_.ownBundleID;
}

GlobalKeyTap::Decision PickerController::handleIdle(const KeyEvent& event) {
    if (!isSingleCharacter(event.characters)) return Decision::passThrough;

    // Looked up only for a key that would start something: asking the display server which
    // application is in front takes several round trips, which every keystroke would wait behind.
    std::optional<Dependencies::FrontmostApp> app;
    const auto startsHere = [&] {
        app = dependencies_.frontmostApp();
        return !isOwnApplication(*app) && !prefs_.isExcluded(app->bundleID, app->name);
    };

    const double now = dependencies_.now();
    std::vector<RecentTypedCharacter> candidates;
    const std::size_t limit = recentTypedCharactersLimit();
    const std::size_t keep = std::min(recentTypedCharacters_.size(), limit - 1);
    candidates.reserve(keep + 1);
    candidates.insert(candidates.end(), recentTypedCharacters_.end() - static_cast<std::ptrdiff_t>(keep),
                      recentTypedCharacters_.end());
    candidates.push_back({event.characters, now, event.serverTime});

    const auto sequence = quick_open_shortcut::sequence(prefs_.quickOpenShortcut());
    if (sequence && (event.held || dependencies_.markKeys)) {
        const std::string seq(*sequence);
        if (const auto suffix = matchedSuffix(candidates, seq);
            suffix && withinQuickOpenGap(event, suffix->front().uptime, suffix->front().serverTime)) {
            if (!startsHere()) return Decision::passThrough;
            const int length = static_cast<int>(charactersOf(seq).size());
            if (!event.held) return beginLatePair(length, app->windowID);
            triggerQuickOpen(length - 1);
            return Decision::swallow;
        }
    }

    const std::string& trigger = prefs_.inlineTrigger();
    if (matchedSuffix(candidates, trigger)) {
        if (!startsHere()) return Decision::passThrough;
        Session s;
        s.mode = Mode::inlineMode;
        s.deleteCount = static_cast<int>(charactersOf(trigger).size());
        s.lastCharBeforeTrigger = characterBeforeMatchedSuffix(candidates, trigger);
        s.isShown = false;
        s.showEligibleAtUptime =
            now + static_cast<double>(std::max<std::int64_t>(prefs_.popupDelayMs(), 0)) / 1000.0;
        s.startedAtUptime = now;
        s.startedAtServerTime = event.serverTime;
        s.windowID = app->windowID;
        session_ = std::move(s);
        schedulePopup();
        return Decision::passThrough;
    }
    return Decision::passThrough;
}

void PickerController::updateRecentTypedCharacters(const KeyEvent& event, Decision decision) {
    if (decision == Decision::passThrough && !session_) {
        if (auto c = printableCharacter(event)) {
            recentTypedCharacters_.push_back({std::move(*c), dependencies_.now(), event.serverTime});
            const std::size_t limit = recentTypedCharactersLimit();
            if (recentTypedCharacters_.size() > limit) {
                recentTypedCharacters_.erase(
                    recentTypedCharacters_.begin(),
                    recentTypedCharacters_.end() - static_cast<std::ptrdiff_t>(limit));
            }
            return;
        }
    }
    recentTypedCharacters_.clear();  // keeps its capacity
}

std::size_t PickerController::recentTypedCharactersLimit() const {
    const std::size_t triggerLength = charactersOf(prefs_.inlineTrigger()).size();
    const std::size_t sequenceLength = prefs_.quickOpenShortcut() == QuickOpenShortcut::disabled ? 0 : 2;
    return std::max({triggerLength + 2, sequenceLength + 1, std::size_t{12}});
}

// ------------------------------------------------------------------ session keys

GlobalKeyTap::Decision PickerController::handleSession(const KeyEvent& event, int keyCode) {
    if (!session_) return Decision::passThrough;
    Session s = *session_;
    const bool shown = s.isShown;
    const bool shift = (event.modifierFlags & ModifierFlag::shift) != 0;
    PickerViewModel& model = *model_;

    switch (keyCode) {
        case KeyCode::leftArrow:
        case KeyCode::rightArrow: {
            if (!shown) break;
            const int delta = keyCode == KeyCode::leftArrow ? -1 : 1;
            if (model.focusRow() == PickerViewModel::FocusRow::variants) {
                model.moveVariantHorizontally(delta);
            } else {
                model.moveSelection(delta);
            }
            session_ = s;
            return Decision::swallow;
        }
        case KeyCode::downArrow:
            if (!shown) break;
            // In the main row already, Down changes nothing.
            if (model.focusRow() == PickerViewModel::FocusRow::variants) model.moveVariantVertically(1);
            session_ = s;
            return Decision::swallow;
        case KeyCode::upArrow:
            if (!shown) break;
            if (!model.activeOptions().empty()) {
                model.moveVariantVertically(-1);
                session_ = s;
            }
            return Decision::swallow;
        case KeyCode::returnKey:
        case KeyCode::keypadEnter: {
            if (!shown) break;
            const bool keepOpen = shift && prefs_.keepOpenOnShiftEnter();
            if (dependencies_.contentReady && !dependencies_.contentReady()) {
                // Right after the start the entries may not be in yet: with no result to take, the
                // choice would insert nothing and end the search. It waits for them.
                s.choiceAwaitingContent = keepOpen;
                session_ = s;
                insertChoiceOnceContentReady();
            } else if (model.focusRow() == PickerViewModel::FocusRow::variants) {
                model.activateVariantSelection(keepOpen);
                session_ = s;
            } else if (insertSelectionAndMaybeKeepOpen(keepOpen, s)) {
                session_ = s;
            }
            return Decision::swallow;
        }
        case KeyCode::tab:
            if (!shown) break;
            if (cycleScope(shift)) {
                session_ = s;
                return Decision::swallow;
            }
            cancelSession(true);
            return Decision::passThrough;
        case KeyCode::escape:
            cancelSession(shown);
            return shown ? Decision::swallow : Decision::passThrough;
        case KeyCode::deleteKey:
            return handleDelete(event, s);
        default:
            return handleCharacter(event, s);
    }
    // A navigation key before the panel showed: the user is just typing.
    cancelSession(false);
    return Decision::passThrough;
}

bool PickerController::isUncountableCharacter(const KeyEvent& event) {
    const std::uint64_t flags = event.modifierFlags;
    if ((flags & (ModifierFlag::option | ModifierFlag::command)) == 0 || (flags & ModifierFlag::control) != 0)
        return false;
    // Alt with a key of a level the Alt key reaches (AltGr's own characters differ) types nothing
    // in GTK, the letter in Qt and an accented letter in a terminal; Super types the letter in some
    // applications and nothing where the desktop takes the combination.
    return event.keyCode != KeyCode::deleteKey && printableCharacter(event) &&
           event.characters == event.charactersIgnoringModifiers;
}

std::optional<PickerController::QueryDeletionMode> PickerController::applicationDeletion(
    std::uint64_t modifierFlags) {
    if ((modifierFlags & ModifierFlag::command) != 0) return QueryDeletionMode::line;
    const std::uint64_t held =
        modifierFlags & (ModifierFlag::shift | ModifierFlag::control | ModifierFlag::option);
    if (held == 0 || held == ModifierFlag::shift) return QueryDeletionMode::character;
    if (held == ModifierFlag::control) return QueryDeletionMode::word;
    return std::nullopt;
}

GlobalKeyTap::Decision PickerController::handleDelete(const KeyEvent& event, Session& s) {
    const auto counted = applicationDeletion(event.modifierFlags);
    if (!counted && s.mode == Mode::inlineMode) {
        // What the application erases is unknown, so the typed trigger and query can no longer be
        // counted: the search ends and the key does what it does there.
        cancelSession(true);
        return Decision::passThrough;
    }
    // An exclusive session edits only its own query: Option deletes a word there.
    const auto mode =
        counted.value_or((event.modifierFlags & ModifierFlag::option) != 0 ? QueryDeletionMode::word
                                                                           : QueryDeletionMode::character);
    auto [updated, removed] = queryDeletion(s.query, mode);
    s.query = updated;

    if (s.mode == Mode::exclusive) {
        if (removed == 0) {
            cancelSession(true);
            return Decision::swallow;
        }
        model_->updateQuery(updated);
        session_ = s;
        return Decision::swallow;
    }

    if (removed < 1) {
        cancelSession(true);
        return Decision::passThrough;  // the application deletes the trigger's last character
    }
    s.deleteCount = std::max(s.deleteCount - removed, 1);
    // A panel this key shows starts on the new query already: one rebuild per key.
    const bool wasShown = s.isShown;
    maybeShowPopup(s);
    if (!session_) return Decision::passThrough;
    if (wasShown) model_->updateQuery(updated);
    session_ = s;
    if (mode == QueryDeletionMode::line) {
        // The application never sees the Command-Delete: erase exactly the query instead.
        dependencies_.insertEmoji("", removed);
        return Decision::swallow;
    }
    return Decision::passThrough;
}

GlobalKeyTap::Decision PickerController::handleCharacter(const KeyEvent& event, Session& s) {
    const std::string input = queryInput(event);
    if (input.empty()) return Decision::passThrough;

    const bool exclusive = s.mode == Mode::exclusive;
    const auto endByMode = [&] {
        cancelSession(true);
        return exclusive ? Decision::swallow : Decision::passThrough;
    };

    if (isSingleCharacter(input) && completesQuickOpenPair(input, s) &&
        withinQuickOpenGap(event, s.startedAtUptime, s.startedAtServerTime)) {
        triggerQuickOpen(1);
        return Decision::swallow;
    }
    const auto added = queryCharacter(input, s.query);
    if (!added) return endByMode();
    const std::string& c = *added;

    // A digit right after a trigger that itself follows a digit is ordinary typing ("3;5").
    if (s.query.empty() && startsWithNumber(c) && s.lastCharBeforeTrigger &&
        startsWithNumber(*s.lastCharBeforeTrigger)) {
        cancelSession(true);
        return Decision::passThrough;
    }

    s.query += c;
    // A panel this key shows starts on the new query already: one rebuild per key.
    const bool wasShown = s.isShown;
    maybeShowPopup(s);
    if (!session_) return exclusive ? Decision::swallow : Decision::passThrough;
    if (!exclusive) s.deleteCount += 1;
    if (wasShown) model_->updateQuery(s.query);
    session_ = s;
    return exclusive ? Decision::swallow : Decision::passThrough;
}

// ------------------------------------------------------------------ popup

void PickerController::schedulePopup() {
    armPopupTimer(static_cast<double>(std::max<std::int64_t>(prefs_.popupDelayMs(), 0)) / 1000.0);
}

void PickerController::armPopupTimer(double delaySeconds) {
    delayTimer_.cancel();
    delayTimer_ = mainLoop_.scheduleTimer(delaySeconds, guarded([this] {
                                              if (!session_ || session_->isShown) return;
                                              // A timer that fires a little early waits only for the
                                              // rest of the delay.
                                              const double remaining =
                                                  session_->showEligibleAtUptime - dependencies_.now();
                                              if (remaining > 0) {
                                                  armPopupTimer(remaining);
                                                  return;
                                              }
                                              Session copy = *session_;
                                              maybeShowPopup(copy);
                                              syncHeldKeys();
                                          }));
}

void PickerController::maybeShowPopup(Session& s) {
    const std::string typed = prefs_.inlineTrigger() + s.query;
    if (openingSequenceSuppression(typed, prefs_.openingSequenceBlocklist()) ==
        OpeningSequenceSuppression::suppressed) {
        cancelSession(true);
        return;
    }
    if (s.isShown) return;
    if (nonWhitespaceScalarCount(s.query) >= static_cast<std::size_t>(minQueryLengthToShow) &&
        dependencies_.now() >= s.showEligibleAtUptime) {
        if (dependencies_.contentReady && !dependencies_.contentReady()) {
            // An inline panel shows the search's results: before they can be found, its Return
            // would insert nothing and swallow the key. It shows once they are in.
            armPopupTimer(kContentPollSeconds);
            return;
        }
        s.isShown = true;
        session_ = s;
        model_->resetForNewSession(s.query);
        showPanelOnceHeld();
    }
}

void PickerController::showPanelOnceHeld() {
    syncHeldKeys();
    if (!dependencies_.whenKeysHeld) {
        dependencies_.showPanelNearMouse();
        return;
    }
    // Keys typed before the holds are in place reach the application and end the search (see
    // dispatch), so a panel that waits for them never shows for a search that is gone. Nothing
    // waits meanwhile: the held keys that come are the session's, shown or not yet.
    const std::uint64_t request = ++panelRequests_;
    dependencies_.whenKeysHeld(guarded([this, request] {
        if (request == panelRequests_ && session_ && session_->isShown) dependencies_.showPanelNearMouse();
    }));
}

void PickerController::cancelSession(bool hide) {
    delayTimer_.cancel();
    session_.reset();
    latePair_.reset();
    if (hide) dependencies_.hidePanel();
}

// ------------------------------------------------------------------ instant open, Quick Find

void PickerController::triggerQuickOpen(int removingTypedCharacters) {
    cancelSession(true);
    if (removingTypedCharacters > 0) dependencies_.insertEmoji("", removingTypedCharacters);
    startShownExclusiveSession(scopeFor(prefs_.quickOpenTarget()));
}

void PickerController::startShownExclusiveSession(std::optional<PickerViewModel::Scope> scope) {
    const double now = dependencies_.now();
    Session s;
    s.mode = Mode::exclusive;
    s.isShown = true;
    s.showEligibleAtUptime = now;
    s.startedAtUptime = now;
    s.windowID = dependencies_.frontmostApp().windowID;
    session_ = std::move(s);
    latePair_.reset();
    model_->resetForNewSession("", scope.value_or(PickerViewModel::Scope::all));
    showPanelOnceHeld();
}

bool PickerController::completesQuickOpenPair(const std::string& typed, const Session& s) const {
    const auto sequence = quick_open_shortcut::sequence(prefs_.quickOpenShortcut());
    if (!sequence) return false;
    const auto trigger = charactersOf(prefs_.inlineTrigger());
    if (trigger.size() != 1) return false;
    const auto seq = charactersOf(*sequence);
    if (seq.size() != 2 || !sameText(seq[0], trigger[0]) || !sameText(seq[1], typed)) return false;
    return s.mode == Mode::inlineMode && s.query.empty();
}

bool PickerController::withinQuickOpenGap(const KeyEvent& event, double startedAtUptime,
                                          double startedAtServerTime) const {
    // Keys handled late come together; the server timed them as they were typed. (Its clock wraps
    // after 49 days: a pair across that is no pair.)
    const bool timed = event.serverTime > 0 && startedAtServerTime > 0;
    const double gap = timed ? event.serverTime - startedAtServerTime : dependencies_.now() - startedAtUptime;
    return gap >= 0 && gap <= quickOpenMaxGapS;
}

GlobalKeyTap::Decision PickerController::beginLatePair(int typed, std::optional<std::string> windowID) {
    cancelSession(true);
    recentTypedCharacters_.clear();
    const double now = dependencies_.now();
    Session s;
    s.mode = Mode::exclusive;  // every key held from now on
    s.showEligibleAtUptime = now;
    s.startedAtUptime = now;
    s.windowID = std::move(windowID);
    session_ = std::move(s);
    latePair_ = LatePair{++lastMark_, typed, std::nullopt};
    syncHeldKeys();  // asked for before the mark, so that the mark comes once they are in place
    dependencies_.markKeys(latePair_->mark);
    return Decision::passThrough;
}

bool PickerController::catchUpWithLatePair(const KeyEvent& event) {
    LatePair& late = *latePair_;
    const std::uint64_t modifiers = ModifierFlag::control | ModifierFlag::option | ModifierFlag::command;
    const auto added = !late.typedAfterEnd && (event.modifierFlags & modifiers) == 0 && session_
                           ? queryCharacter(queryInput(event), session_->query)
                           : std::nullopt;
    if (added) {
        session_->query += *added;
        ++late.typed;
        return true;
    }
    // Any other character would have ended the search, which swallows it; those after it stay.
    if (const auto character = typedCharacter(event)) {
        if (late.typedAfterEnd) {
            *late.typedAfterEnd += *character;
        } else {
            late.typedAfterEnd.emplace();
        }
        ++late.typed;
        return true;
    }
    cancelSession(false);
    recentTypedCharacters_.clear();
    return false;
}

void PickerController::openLatePair() {
    const LatePair late = *std::exchange(latePair_, std::nullopt);
    if (!session_) return;
    if (late.typedAfterEnd) {
        cancelSession(false);
        dependencies_.insertEmoji(*late.typedAfterEnd, late.typed);
        return;
    }
    const int typed = late.typed;
    dependencies_.insertEmoji("", typed);
    session_->isShown = true;
    model_->resetForNewSession(session_->query, scopeFor(prefs_.quickOpenTarget()));
    showPanelOnceHeld();
}

void PickerController::handleTapNotice(const KeyEvent& event) {
    if (!latePair_) return;
    if (event.type == KeyEvent::Type::mark) {
        if (event.userData == latePair_->mark) openLatePair();
        return;
    }
    // Keys went on unseen meanwhile (the tap was disabled): what reached the application is unknown.
    cancelSession(false);
    recentTypedCharacters_.clear();
}

void PickerController::openQuickFind() {
    startShownExclusiveSession(std::nullopt);
}

// ------------------------------------------------------------------ scopes

bool PickerController::cycleScope(bool reverse) {
    const Scope current = model_->scope();
    std::vector<Scope> ring{Scope::all};
    if (!dependencies_.pinnedIDs().empty() || current == Scope::pinned) ring.push_back(Scope::pinned);
    ring.push_back(Scope::shortcodes);
    if (dependencies_.hasEmoticons() || current == Scope::emoticons) ring.push_back(Scope::emoticons);
    if (dependencies_.hasGlyphs() || current == Scope::glyphs) ring.push_back(Scope::glyphs);
    if (std::find(ring.begin(), ring.end(), current) == ring.end()) ring.push_back(current);

    const auto next = nextScope(ring, current, reverse);
    if (!next) return false;
    model_->setScope(*next);
    return true;
}

std::optional<PickerViewModel::Scope> PickerController::nextScope(const std::vector<Scope>& ring,
                                                                  Scope currentScope, bool reverse) {
    if (ring.size() < 2) return std::nullopt;
    const auto found = std::find(ring.begin(), ring.end(), currentScope);
    const long n = static_cast<long>(ring.size());
    const long position = found == ring.end() ? 0 : found - ring.begin();
    const long next = (position + (reverse ? -1 : 1) + n) % n;
    return ring[static_cast<std::size_t>(next)];
}

// ------------------------------------------------------------------ insertion and actions

bool PickerController::insertSelectionAndMaybeKeepOpen(bool keep, Session& s) {
    const auto text = model_->selectedEmojiForInsertion();
    // A click on the panel after another window became active: the text typed for the search is
    // not where the Delete presses would go.
    if (!text || dependencies_.frontmostApp().windowID != s.windowID) {
        cancelSession(true);
        return false;
    }
    // Only a text that was really posted counts as used; a failed insertion ends the session, so the
    // user sees that nothing was typed and the typed trigger and query stay where they are.
    if (!dependencies_.insertEmoji(*text, s.deleteCount)) {
        cancelSession(true);
        return false;
    }
    dependencies_.recordUsedEmoji(*text);
    if (keep) {
        s.mode = Mode::exclusive;
        s.deleteCount = 0;
        return true;
    }
    cancelSession(true);
    return false;
}

void PickerController::insertChoiceOnceContentReady() {
    delayTimer_.cancel();
    delayTimer_ = mainLoop_.scheduleTimer(kContentPollSeconds, guarded([this] {
                                              if (!session_ || !session_->choiceAwaitingContent) return;
                                              if (!dependencies_.contentReady()) {
                                                  insertChoiceOnceContentReady();
                                                  return;
                                              }
                                              Session copy = *session_;
                                              const bool keep = *copy.choiceAwaitingContent;
                                              copy.choiceAwaitingContent.reset();
                                              // The results of the query on the entries now in.
                                              model_->updateQuery(copy.query);
                                              if (insertSelectionAndMaybeKeepOpen(keep, copy))
                                                  session_ = copy;
                                              syncHeldKeys();
                                          }));
}

void PickerController::handleUIAction(const PickerViewModel::UIAction& action) {
    using UIAction = PickerViewModel::UIAction;
    if (const auto* a = std::get_if<UIAction::InsertMain>(&action.value)) {
        if (!session_) return;
        if (a->index < 0 || static_cast<std::size_t>(a->index) >= model_->results().size()) return;
        model_->selectMain(a->index, PickerViewModel::SelectionOrigin::mouseClick);
        Session copy = *session_;
        if (insertSelectionAndMaybeKeepOpen(a->keepOpen, copy)) session_ = copy;
    } else if (const auto* a = std::get_if<UIAction::InsertVariant>(&action.value)) {
        if (!session_) return;
        if (a->index < 0 || static_cast<std::size_t>(a->index) >= model_->activeOptions().size()) return;
        model_->selectVariant(a->index, PickerViewModel::SelectionOrigin::mouseClick);
        Session copy = *session_;
        if (insertSelectionAndMaybeKeepOpen(a->keepOpen, copy)) session_ = copy;
    } else if (const auto* a = std::get_if<UIAction::OpenLibrary>(&action.value)) {
        triggerLibraryOpenFromPicker(a->scope);
    } else if (std::holds_alternative<UIAction::Close>(action.value)) {
        cancelSession(true);
    }
}

// ------------------------------------------------------------------ library

GlobalKeyTap::Decision PickerController::triggerLibraryOpen() {
    if (!openLibraryHandler) return Decision::passThrough;
    const bool shown = session_ && session_->isShown;
    LibraryOpenRequest request;
    if (shown) {
        request.pickerScope = model_->scope();
        request.deletingCharsBeforeInsertion = std::max(session_->deleteCount, 0);
    }
    cancelSession(shown);
    recentTypedCharacters_.clear();
    openLibraryHandler(request);
    return Decision::swallow;
}

void PickerController::triggerLibraryOpenFromPicker(Scope scope) {
    if (!openLibraryHandler) {
        cancelSession(true);
        return;
    }
    const int deleting = session_ && session_->isShown ? std::max(session_->deleteCount, 0) : 0;
    cancelSession(true);
    recentTypedCharacters_.clear();
    openLibraryHandler(LibraryOpenRequest{scope, deleting});
}

// ------------------------------------------------------------------ pure helpers

bool PickerController::hasMatchedSuffix(const std::vector<std::string>& characters,
                                        const std::string& sequence) {
    const auto seq = charactersOf(sequence);
    if (seq.empty() || seq.size() > characters.size()) return false;
    const std::size_t offset = characters.size() - seq.size();
    for (std::size_t i = 0; i < seq.size(); ++i)
        if (!sameText(characters[offset + i], seq[i])) return false;
    return true;
}

std::optional<std::vector<PickerController::RecentTypedCharacter>> PickerController::matchedSuffix(
    const std::vector<RecentTypedCharacter>& buffer, const std::string& sequence) {
    const auto seq = charactersOf(sequence);
    if (seq.empty() || seq.size() > buffer.size()) return std::nullopt;
    const std::size_t offset = buffer.size() - seq.size();
    for (std::size_t i = 0; i < seq.size(); ++i)
        if (!sameText(buffer[offset + i].character, seq[i])) return std::nullopt;
    return std::vector<RecentTypedCharacter>(buffer.begin() + static_cast<std::ptrdiff_t>(offset),
                                             buffer.end());
}

std::optional<std::string> PickerController::characterBeforeMatchedSuffix(
    const std::vector<RecentTypedCharacter>& buffer, const std::string& sequence) {
    const long position =
        static_cast<long>(buffer.size()) - static_cast<long>(charactersOf(sequence).size()) - 1;
    if (position < 0) return std::nullopt;
    return buffer[static_cast<std::size_t>(position)].character;
}

bool PickerController::isWhitespace(const std::string& character) {
    const auto scalars = text::scalars(character);
    return std::all_of(scalars.begin(), scalars.end(), [](char32_t c) { return text::isWhitespace(c); });
}

PickerController::QueryDeletion PickerController::queryDeletion(const std::string& query,
                                                                QueryDeletionMode mode) {
    if (query.empty()) return {query, 0};
    auto chars = charactersOf(query);
    const int count = static_cast<int>(chars.size());
    switch (mode) {
        case QueryDeletionMode::character:
            chars.pop_back();
            return {text::join(chars, ""), 1};
        case QueryDeletionMode::line:
            return {"", count};
        case QueryDeletionMode::word: {
            std::size_t end = chars.size();
            while (end > 0 && isWhitespace(chars[end - 1])) --end;
            if (end == 0) return {"", count};
            while (end > 0 && !isWhitespace(chars[end - 1])) --end;
            const int removed = count - static_cast<int>(end);
            chars.resize(end);
            return {text::join(chars, ""), removed};
        }
    }
    return {query, 0};
}

std::string PickerController::queryInput(const KeyEvent& event) {
    if (!event.characters.empty()) return event.characters;
    return event.charactersIgnoringModifiers;
}

std::optional<std::string> PickerController::queryCharacter(const std::string& input,
                                                            const std::string& query) {
    if (!isSingleCharacter(input) || input == "\t" || input == "\n" || input == "\r") return std::nullopt;
    // Lowercasing one character can give several (rarely); the first stands for the key typed.
    std::string c = text::lowercased(input);
    if (!isSingleCharacter(c)) c = charactersOf(c).front();
    if (c == " ") {
        if (text::trimmed(query).empty()) return std::nullopt;  // a query never starts with a space
    } else if (!(startsWithLetter(c) || startsWithNumber(c) || c == "_" || c == "+" || c == "-")) {
        return std::nullopt;
    }
    return c;
}

std::optional<std::string> PickerController::typedCharacter(const KeyEvent& event) {
    if ((event.modifierFlags & (ModifierFlag::control | ModifierFlag::option | ModifierFlag::command)) != 0)
        return std::nullopt;
    auto character = printableCharacter(event);
    // Function and movement keys carry characters of their own, of none of these classes.
    const char32_t first = character ? text::firstScalar(*character) : 0;
    if (first != U' ' && !text::isLetter(first) && !text::isNumber(first) && !text::isPunctuation(first) &&
        !text::isSymbol(first))
        return std::nullopt;
    return character;
}

std::optional<std::string> PickerController::printableCharacter(const KeyEvent& event) {
    if (!isSingleCharacter(event.characters)) return std::nullopt;
    const auto scalars = text::scalars(event.characters);
    if (scalars.empty() || text::isControl(scalars.front())) return std::nullopt;
    return event.characters;
}

bool PickerController::inlinePopupShouldBeVisible(const std::string& query, const std::string& typedSequence,
                                                  const std::vector<std::string>& blocklist,
                                                  int minQueryLengthToShow, bool isAlreadyShown) {
    return openingSequenceSuppression(typedSequence, blocklist) == OpeningSequenceSuppression::none &&
           !isAlreadyShown &&
           nonWhitespaceScalarCount(query) >= static_cast<std::size_t>(std::max(minQueryLengthToShow, 0));
}

PickerController::OpeningSequenceSuppression PickerController::openingSequenceSuppression(
    const std::string& typed, const std::vector<std::string>& blocklist) {
    const std::string lowered = text::lowercased(typed);
    if (lowered.empty()) return OpeningSequenceSuppression::none;
    for (const auto& entry : blocklist)
        if (sameText(text::lowercased(entry), lowered)) return OpeningSequenceSuppression::suppressed;
    return OpeningSequenceSuppression::none;
}

}  // namespace mosaiko

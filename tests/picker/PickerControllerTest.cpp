#include "picker/PickerController.hpp"

#include <gtest/gtest.h>

#include "picker/PickerHarness.hpp"

namespace mosaiko {
namespace {

using testing::PickerHarness;
using Scope = PickerViewModel::Scope;
using Mode = PickerController::Mode;

// ------------------------------------------------------------------ inline search

TEST(PickerScenario, TheRoadOfOneRequest) {
    PickerHarness h;
    EXPECT_EQ(h.type(";smi"), "pppp");
    EXPECT_FALSE(h.panel->visible);  // 150 ms after the trigger
    ASSERT_TRUE(h.session());
    EXPECT_EQ(h.session()->deleteCount, 4);

    h.wait(0.14);  // 290 ms after the trigger
    EXPECT_FALSE(h.panel->visible);
    h.wait(0.02);  // 310 ms
    EXPECT_TRUE(h.panel->visible);
    EXPECT_TRUE(h.model->isVisible());
    EXPECT_EQ(h.shownQuery(), "smi");
    ASSERT_FALSE(h.model->results().empty());
    EXPECT_EQ(h.model->results().front().id, "smile");

    EXPECT_EQ(h.type("⏎"), "s");
    EXPECT_EQ(h.poster.deletePresses(), 4);
    EXPECT_EQ(h.poster.texts(), std::vector<std::string>{"😄"});
    EXPECT_EQ(h.usage.recents(), std::vector<std::string>{"😄"});
    EXPECT_FALSE(h.panel->visible);
    EXPECT_FALSE(h.session());

    // The posted events come back through the tap marked as ours: they pass and start nothing.
    EXPECT_EQ(h.echoPostedEvents(), "ppppp");
    EXPECT_EQ(h.type("smi"), "ppp");
    h.wait(1);
    EXPECT_FALSE(h.session());
}

TEST(PickerScenario, PopupWaitsForTheDelayAndThreeCharacters) {
    {
        PickerHarness h;
        h.type(";sm", 0, 0.05);
        h.wait(0.3);
        EXPECT_FALSE(h.panel->visible) << "two letters are too few";
        h.type("i");
        EXPECT_TRUE(h.panel->visible) << "the third letter shows it at once";
        EXPECT_EQ(h.shownQuery(), "smi");
        h.type("l");
        EXPECT_EQ(h.shownQuery(), "smil");
        EXPECT_EQ(h.panel->showCount, 1);
    }
    {
        PickerHarness h;
        h.prefs.setPopupDelayMs(0);
        h.type(";sm");
        EXPECT_FALSE(h.panel->visible);
        h.type("i");
        EXPECT_TRUE(h.panel->visible);
    }
    {
        PickerHarness h;
        h.type(";ab ");
        h.wait(1);
        EXPECT_FALSE(h.panel->visible) << "a space does not count toward the three";
        EXPECT_EQ(h.session()->query, "ab ");
        h.type("c");
        EXPECT_TRUE(h.panel->visible);
        EXPECT_EQ(h.shownQuery(), "ab c");
    }
}

TEST(PickerScenario, UppercaseIsStoredLowercaseAndCounted) {
    PickerHarness h;
    EXPECT_EQ(h.type(";SMI"), "pppp");
    h.wait(0.3);
    EXPECT_EQ(h.shownQuery(), "smi");
    h.type("⏎");
    EXPECT_EQ(h.poster.deletePresses(), 4);
}

TEST(PickerScenario, CharactersThatEndAnInlineSession) {
    struct Case {
        const char* typed;
        const char* decisions;
        const char* why;
    };
    for (const Case& c :
         {Case{"; ", "pp", "a query never starts with a space"},
          Case{";.", "pp", "a full stop is no query character"},
          Case{"3;5", "ppp", "a digit right after a trigger that follows a digit"},
          Case{";→", "pp", "a navigation key before the panel shows"},
          Case{";⏎", "pp", "Return before the panel shows"}, Case{";⇥", "pp", "Tab before the panel shows"},
          Case{";⎋", "pp", "Escape before the panel shows"},
          Case{";⌫", "pp", "Delete with an empty query"}}) {
        PickerHarness h;
        EXPECT_EQ(h.type(c.typed), c.decisions) << c.why;
        EXPECT_FALSE(h.session()) << c.why;
        EXPECT_TRUE(h.poster.posted.empty()) << c.why;
        EXPECT_EQ(h.panel->showCount, 0) << c.why;
    }

    PickerHarness h;
    EXPECT_EQ(h.type("a;5"), "ppp");
    ASSERT_TRUE(h.session()) << "a digit after a letter and the trigger starts a query";
    EXPECT_EQ(h.session()->query, "5");
    EXPECT_EQ(h.session()->deleteCount, 2);
}

TEST(PickerScenario, DeletingInAnInlineSession) {
    {
        PickerHarness h;
        h.type(";abc");
        h.wait(0.3);
        ASSERT_TRUE(h.panel->visible);
        EXPECT_EQ(h.type("⌫"), "p") << "the application deletes the character itself";
        EXPECT_EQ(h.shownQuery(), "ab");
        EXPECT_EQ(h.session()->deleteCount, 3);
        EXPECT_TRUE(h.poster.posted.empty());
    }
    {
        PickerHarness h;
        h.type(";abc");
        h.wait(0.3);
        EXPECT_EQ(h.type("⌫", ModifierFlag::command), "s");
        EXPECT_EQ(h.poster.deletePresses(), 3) << "exactly the query is erased";
        EXPECT_TRUE(h.poster.texts().empty());
        EXPECT_EQ(h.session()->query, "");
        EXPECT_EQ(h.session()->deleteCount, 1);
        EXPECT_TRUE(h.panel->visible);
    }
    {
        PickerHarness h;
        h.type(";ab cd ");
        EXPECT_EQ(h.type("⌫", ModifierFlag::option), "p");
        EXPECT_EQ(h.session()->query, "ab ");
        EXPECT_EQ(h.session()->deleteCount, 4);
    }
    {
        PickerHarness h;
        h.type(";a");
        EXPECT_EQ(h.type("⌫⌫"), "pp");
        EXPECT_FALSE(h.session()) << "Delete on the empty query gives the trigger back to the application";
    }
}

TEST(PickerScenario, EscapeAndCommandShortcuts) {
    PickerHarness h;
    h.type(";smi");
    EXPECT_EQ(h.type("c", ModifierFlag::command), "p");
    EXPECT_EQ(h.session()->query, "smi") << "Command shortcuts leave the session alone";
    h.wait(0.3);
    EXPECT_EQ(h.type("⎋"), "s");
    EXPECT_FALSE(h.panel->visible);
    EXPECT_FALSE(h.session());
    EXPECT_TRUE(h.poster.posted.empty());
}

TEST(PickerScenario, BlocklistedOpeningSequences) {
    PickerHarness h;
    h.prefs.setOpeningSequenceBlocklist({";SMILE"});
    h.type(";smi");
    h.wait(0.3);
    EXPECT_TRUE(h.panel->visible) << "a sequence that only starts with an entry is not suppressed";
    EXPECT_EQ(h.type("le"), "pp");
    EXPECT_FALSE(h.panel->visible);
    EXPECT_FALSE(h.session());

    PickerHarness quick;
    quick.prefs.setPopupDelayMs(0);
    quick.prefs.setOpeningSequenceBlocklist({";smi"});
    quick.type(";smi");
    EXPECT_FALSE(quick.session());
    EXPECT_EQ(quick.panel->showCount, 0);
}

TEST(PickerScenario, ExcludedAndOwnApplicationsStartNothing) {
    for (const auto& app :
         std::vector<PickerController::Dependencies::FrontmostApp>{{"com.jetbrains.pycharm", "PyCharm"},
                                                                   {std::nullopt, "terminal"},
                                                                   {PickerHarness::kOwnID, "Mosaiko"}}) {
        PickerHarness h;
        h.frontmost = app;
        EXPECT_EQ(h.type(";;smi⏎"), "pppppp");
        h.wait(1);
        EXPECT_FALSE(h.session());
        EXPECT_EQ(h.panel->showCount, 0);
        EXPECT_TRUE(h.poster.posted.empty());
    }
}

TEST(PickerScenario, MarkedEventsPassUntouched) {
    PickerHarness h;
    KeyEvent marked = testing::keystrokes(";")[0];
    marked.userData = kEventMarker;
    EXPECT_FALSE(h.deliver(marked));
    EXPECT_FALSE(h.session()) << "our own events never start a session";
    EXPECT_EQ(h.type(";"), "p");
    EXPECT_FALSE(h.deliver(marked)) << "nor feed the instant-open sequence";
    EXPECT_EQ(h.session()->mode, Mode::inlineMode);
    EXPECT_EQ(h.session()->query, "");
    EXPECT_TRUE(h.poster.posted.empty());
}

// ------------------------------------------------------------------ instant open and Quick Find

TEST(PickerScenario, DoubledTriggerOpensAtOnceWithinTheGap) {
    PickerHarness h;
    h.prefs.setQuickOpenTarget(QuickOpenTarget::pins);
    h.collections.togglePinned("smile");
    EXPECT_EQ(h.type(";;", 0, 0.7), "ps");
    EXPECT_EQ(h.poster.deletePresses(), 1) << "the first semicolon reached the application";
    EXPECT_TRUE(h.panel->visible);
    ASSERT_TRUE(h.session());
    EXPECT_EQ(h.session()->mode, Mode::exclusive);
    EXPECT_EQ(h.model->scope(), Scope::pinned);
    EXPECT_EQ(h.shownQuery(), "");

    EXPECT_EQ(h.type("smi"), "sss") << "an exclusive session keeps the keys";
    EXPECT_EQ(h.shownQuery(), "smi");
    h.poster.clear();
    EXPECT_EQ(h.type("⏎"), "s");
    EXPECT_EQ(h.poster.deletePresses(), 0);
    EXPECT_EQ(h.poster.texts(), std::vector<std::string>{"😄"});

    PickerHarness slow;
    EXPECT_EQ(slow.type(";;", 0, 0.8), "pp") << "typed slowly the second is an ordinary character";
    EXPECT_FALSE(slow.session());
    EXPECT_TRUE(slow.poster.posted.empty());
}

TEST(PickerScenario, InstantOpenSequenceFromTheRecentCharacters) {
    PickerHarness h;
    h.prefs.setQuickOpenShortcut(QuickOpenShortcut::doubleColon);
    EXPECT_EQ(h.type("::", 0, 0.5), "ps");
    EXPECT_EQ(h.poster.deletePresses(), 1);
    EXPECT_EQ(h.session()->mode, Mode::exclusive);
    EXPECT_EQ(h.model->scope(), Scope::all);

    PickerHarness slow;
    slow.prefs.setQuickOpenShortcut(QuickOpenShortcut::doubleColon);
    EXPECT_EQ(slow.type("::", 0, 0.76), "pp");
    EXPECT_FALSE(slow.session());

    PickerHarness broken;
    broken.prefs.setQuickOpenShortcut(QuickOpenShortcut::doubleColon);
    EXPECT_EQ(broken.type(":⏎:"), "ppp") << "a key that is no plain character breaks the sequence";
    broken.type("x:");
    broken.type("c", ModifierFlag::command);
    EXPECT_EQ(broken.type(":"), "p") << "so does a Command shortcut";
    EXPECT_FALSE(broken.session());

    PickerHarness off;
    off.prefs.setQuickOpenShortcut(QuickOpenShortcut::disabled);
    EXPECT_EQ(off.type(";;"), "pp");
    EXPECT_FALSE(off.session());
}

TEST(PickerScenario, ExclusiveSessionKeys) {
    PickerHarness h;
    h.type(";;");
    EXPECT_EQ(h.type("ab⌫"), "sss");
    EXPECT_EQ(h.shownQuery(), "a");
    EXPECT_EQ(h.type("."), "s") << "a non-query character ends it but stays ours";
    EXPECT_FALSE(h.session());
    EXPECT_FALSE(h.panel->visible);

    h.type(";;");
    EXPECT_EQ(h.type("⌫"), "s") << "Delete on the empty query ends it";
    EXPECT_FALSE(h.session());

    h.type(";;");
    EXPECT_EQ(h.type(" "), "s") << "no leading space";
    EXPECT_FALSE(h.session());
}

TEST(PickerScenario, QuickFindOpensAnEmptyExclusivePanel) {
    PickerHarness h;
    h.prefs.setQuickOpenTarget(QuickOpenTarget::emoticons);
    h.controller->openQuickFind();
    EXPECT_TRUE(h.panel->visible);
    EXPECT_EQ(h.model->scope(), Scope::all) << "the target applies to the typed sequence only";
    EXPECT_TRUE(h.poster.posted.empty());
    EXPECT_EQ(h.type("hea⏎"), "ssss");
    EXPECT_EQ(h.poster.texts(), std::vector<std::string>{"❤️"});
    EXPECT_EQ(h.poster.deletePresses(), 0);
}

// ------------------------------------------------------------------ panel keys

TEST(PickerScenario, TabCyclesTheScopesThatHaveContent) {
    PickerHarness h;
    h.controller->openQuickFind();
    std::vector<Scope> seen;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(h.type("⇥"), "s");
        seen.push_back(h.model->scope());
    }
    EXPECT_EQ(seen, (std::vector{Scope::shortcodes, Scope::emoticons, Scope::all})) << "no pins, no glyphs";
    EXPECT_EQ(h.type("⇥", ModifierFlag::shift), "s");
    EXPECT_EQ(h.model->scope(), Scope::emoticons) << "Shift-Tab from all goes to the last scope";

    h.collections.togglePinned("heart");
    h.type("⇥");
    EXPECT_EQ(h.model->scope(), Scope::all);
    h.type("⇥");
    EXPECT_EQ(h.model->scope(), Scope::pinned);
}

TEST(PickerScenario, ArrowsMoveTheSelectionAndTheVariants) {
    PickerHarness h;
    h.prefs.setPopupDelayMs(0);
    h.type(";thu");
    ASSERT_TRUE(h.panel->visible);
    ASSERT_EQ(h.model->activeEntry()->id, "thumbsup");

    EXPECT_EQ(h.type("↑→→"), "sss") << "up to the variants row, then two tones to the right";
    EXPECT_EQ(h.model->focusRow(), PickerViewModel::FocusRow::variants);
    EXPECT_EQ(h.type("⏎"), "s");
    EXPECT_EQ(h.poster.texts(), std::vector<std::string>{"👍🏼"}) << "inserted through the action stream";
    EXPECT_EQ(h.poster.deletePresses(), 4);
    EXPECT_FALSE(h.panel->visible);

    h.poster.clear();
    h.type(";thu↑→↓⏎");
    EXPECT_EQ(h.poster.texts(), std::vector<std::string>{"👍🏼"})
        << "Down returns to the main row, which inserts the variant chosen before";

    h.poster.clear();
    h.type(";smi→⏎");
    EXPECT_EQ(h.poster.texts(), std::vector<std::string>{"😃"});
}

TEST(PickerScenario, ShiftReturnKeepsThePanelOpen) {
    PickerHarness h;
    h.prefs.setPopupDelayMs(0);
    h.type(";smi");
    EXPECT_EQ(h.type("⏎", ModifierFlag::shift), "s");
    EXPECT_EQ(h.poster.deletePresses(), 4);
    EXPECT_TRUE(h.panel->visible);
    EXPECT_EQ(h.session()->mode, Mode::exclusive);
    EXPECT_EQ(h.shownQuery(), "smi");

    h.poster.clear();
    EXPECT_EQ(h.type("⏎"), "s");
    EXPECT_EQ(h.poster.deletePresses(), 0) << "nothing is left to erase";
    EXPECT_EQ(h.poster.texts(), std::vector<std::string>{"😄"});
    EXPECT_FALSE(h.panel->visible);
    EXPECT_EQ(h.usage.counts().at("😄"), 2);

    PickerHarness off;
    off.prefs.setPopupDelayMs(0);
    off.prefs.setKeepOpenOnShiftEnter(false);
    off.type(";smi");
    off.type("⌤", ModifierFlag::shift);
    EXPECT_FALSE(off.panel->visible);
    EXPECT_FALSE(off.session());
}

TEST(PickerScenario, ReturnWithoutResultsInsertsNothing) {
    PickerHarness h;
    h.prefs.setPopupDelayMs(0);
    h.type(";zzz");
    ASSERT_TRUE(h.panel->visible);
    EXPECT_TRUE(h.model->results().empty());
    EXPECT_EQ(h.type("⏎"), "s");
    EXPECT_TRUE(h.poster.posted.empty());
    EXPECT_TRUE(h.usage.recents().empty());
    EXPECT_FALSE(h.panel->visible);
}

TEST(PickerScenario, AFailedInsertionRecordsNoUse) {
    PickerHarness h;
    h.prefs.setPopupDelayMs(0);
    h.type(";smi");
    h.poster.failingCreations = {h.poster.creations + 8};  // the text's key-down
    EXPECT_EQ(h.type("⏎", ModifierFlag::shift), "s");
    EXPECT_TRUE(h.poster.posted.empty()) << "no half-erased text";
    EXPECT_TRUE(h.usage.recents().empty());
    EXPECT_FALSE(h.session());
    EXPECT_FALSE(h.panel->visible);
}

// ------------------------------------------------------------------ library

TEST(PickerScenario, LibraryShortcut) {
    const KeyboardShortcut shortcut{14, ModifierFlag::control | ModifierFlag::option, "e"};
    KeyEvent press;
    press.keyCode = 14;
    press.modifierFlags = ModifierFlag::control | ModifierFlag::option;
    press.characters = "´";
    press.charactersIgnoringModifiers = "e";

    PickerHarness h;
    h.prefs.setLibraryShortcut(shortcut);
    EXPECT_FALSE(h.deliver(press)) << "no handler installed: ordinary input";

    std::vector<PickerController::LibraryOpenRequest> requests;
    h.controller->openLibraryHandler = [&](const auto& r) { requests.push_back(r); };
    h.type(";ab");
    EXPECT_TRUE(h.deliver(press));
    EXPECT_FALSE(h.session()) << "ended without erasing: the typed text stays";
    h.type(";abc");
    h.wait(0.3);
    h.type("⇥");
    EXPECT_TRUE(h.deliver(press));
    EXPECT_FALSE(h.panel->visible);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], (PickerController::LibraryOpenRequest{std::nullopt, 0}));
    EXPECT_EQ(requests[1], (PickerController::LibraryOpenRequest{Scope::shortcodes, 4}));

    press.modifierFlags |= ModifierFlag::shift;
    EXPECT_FALSE(h.deliver(press)) << "an extra Shift is another shortcut";
    press.modifierFlags &= ~ModifierFlag::shift;
    h.frontmost = {PickerHarness::kOwnID, "Mosaiko"};
    EXPECT_FALSE(h.deliver(press)) << "inside this program the shortcut is the window's business";
    EXPECT_EQ(requests.size(), 2u);
}

TEST(PickerScenario, PanelActions) {
    PickerHarness h;
    std::vector<PickerController::LibraryOpenRequest> requests;
    h.controller->openLibraryHandler = [&](const auto& r) { requests.push_back(r); };
    h.prefs.setPopupDelayMs(0);
    h.type(";smi");
    using Action = PickerViewModel::UIAction;

    h.model->uiActionSubject.send(Action::InsertMain{7, false});
    h.loop.runPending();
    EXPECT_TRUE(h.poster.posted.empty()) << "an index out of range does nothing";
    EXPECT_TRUE(h.session());

    h.model->uiActionSubject.send(Action::InsertMain{1, true});
    EXPECT_TRUE(h.poster.posted.empty()) << "actions arrive after the current event";
    h.loop.runPending();
    EXPECT_EQ(h.poster.texts(), std::vector<std::string>{"😃"});
    EXPECT_EQ(h.poster.deletePresses(), 4);
    EXPECT_TRUE(h.panel->visible);
    EXPECT_EQ(h.session()->mode, Mode::exclusive);

    h.model->uiActionSubject.send(Action::OpenLibrary{Scope::emoticons});
    h.loop.runPending();
    EXPECT_FALSE(h.panel->visible);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], (PickerController::LibraryOpenRequest{Scope::emoticons, 0}));

    h.model->uiActionSubject.send(Action::InsertMain{0, false});
    h.loop.runPending();
    EXPECT_EQ(h.poster.texts().size(), 1u) << "no session, no insertion";

    h.type(";smi");
    h.model->uiActionSubject.send(Action::Close{});
    h.loop.runPending();
    EXPECT_FALSE(h.session());
    EXPECT_FALSE(h.panel->visible);
}

// ------------------------------------------------------------------ lifecycle

TEST(PickerScenario, StopHidesThePanelAndRemovesTheTap) {
    PickerHarness h;
    h.type(";smi");
    h.wait(0.3);
    ASSERT_TRUE(h.panel->visible);
    h.controller->stop();
    EXPECT_FALSE(h.panel->visible);
    EXPECT_FALSE(h.session());
    EXPECT_TRUE(h.tapSystem.livePorts().empty());
    EXPECT_EQ(h.type(";;smi⏎"), "pppppp");
    h.wait(1);
    EXPECT_EQ(h.panel->showCount, 1);
    EXPECT_TRUE(h.poster.posted.empty());
}

TEST(PickerScenario, ADestroyedControllerLeavesNoTimerBehind) {
    PickerHarness h;
    h.type(";smi");
    h.controller.reset();
    h.wait(1);
    EXPECT_EQ(h.panel->showCount, 0);
    EXPECT_EQ(h.type("a"), "p");
}

// ------------------------------------------------------------------ pure helpers

TEST(PickerControllerHelpers, QueryDeletion) {
    using M = PickerController::QueryDeletionMode;
    using D = PickerController::QueryDeletion;
    EXPECT_EQ(PickerController::queryDeletion("", M::character), (D{"", 0}));
    EXPECT_EQ(PickerController::queryDeletion("ab👍🏽", M::character), (D{"ab", 1}));
    EXPECT_EQ(PickerController::queryDeletion("ab cd ", M::word), (D{"ab ", 3}));
    EXPECT_EQ(PickerController::queryDeletion("   ", M::word), (D{"", 3}));
    EXPECT_EQ(PickerController::queryDeletion("abc", M::word), (D{"", 3}));
    EXPECT_EQ(PickerController::queryDeletion("ab cd", M::line), (D{"", 5}));
}

TEST(PickerControllerHelpers, ScopeRingAndSuffixes) {
    const std::vector ring{Scope::all, Scope::shortcodes, Scope::emoticons};
    EXPECT_EQ(PickerController::nextScope(ring, Scope::emoticons, false), Scope::all);
    EXPECT_EQ(PickerController::nextScope(ring, Scope::all, true), Scope::emoticons);
    EXPECT_EQ(PickerController::nextScope(ring, Scope::glyphs, false), Scope::shortcodes);
    EXPECT_EQ(PickerController::nextScope({Scope::all}, Scope::all, false), std::nullopt);

    EXPECT_TRUE(PickerController::hasMatchedSuffix({"x", ":", ":"}, "::"));
    EXPECT_FALSE(PickerController::hasMatchedSuffix({":"}, "::"));
    EXPECT_FALSE(PickerController::hasMatchedSuffix({"a"}, ""));
    EXPECT_TRUE(PickerController::hasMatchedSuffix({"e\u0301"}, "\u00e9")) << "canonically equal characters";
}

TEST(PickerControllerHelpers, ShowDecision) {
    EXPECT_TRUE(PickerController::inlinePopupShouldBeVisible("smi", ";smi", {}, 3, false));
    EXPECT_FALSE(PickerController::inlinePopupShouldBeVisible("sm ", ";sm ", {}, 3, false));
    EXPECT_FALSE(PickerController::inlinePopupShouldBeVisible("smi", ";smi", {";SMI"}, 3, false));
    EXPECT_FALSE(PickerController::inlinePopupShouldBeVisible("smi", ";smi", {}, 3, true));
    EXPECT_EQ(PickerController::openingSequenceSuppression("", {""}),
              PickerController::OpeningSequenceSuppression::none);
}

}  // namespace
}  // namespace mosaiko

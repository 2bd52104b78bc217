#include "picker/PickerController.hpp"

#include <gtest/gtest.h>

#include "picker/PickerHarness.hpp"

namespace mosaiko {
namespace {

using testing::PickerHarness;
using Scope = PickerViewModel::Scope;
using Mode = PickerController::Mode;
using Request = PickerController::LibraryOpenRequest;
using Texts = std::vector<std::string>;

TEST(PickerScenario, TheRoadOfOneRequest) {
    PickerHarness h;
    EXPECT_EQ(h.type(";smi"), "pppp");
    EXPECT_EQ(h.session()->deleteCount, 4);
    h.wait(0.14);  // 290 ms after the trigger
    EXPECT_FALSE(h.panel->visible);
    h.wait(0.02);
    EXPECT_TRUE(h.model->isVisible());
    EXPECT_EQ(h.model->query(), "smi");
    EXPECT_EQ(h.model->activeEntry()->id, "smile");

    EXPECT_EQ(h.type("⏎"), "s");
    EXPECT_EQ(h.poster.deletePresses(), 4);
    EXPECT_EQ(h.poster.texts(), Texts{"😄"});
    EXPECT_EQ(h.usage.recents(), Texts{"😄"});
    EXPECT_FALSE(h.panel->visible);
    EXPECT_FALSE(h.session());

    // The posted events come back through the tap marked as ours: they pass and feed nothing.
    for (const auto& posted : h.poster.posted) {
        KeyEvent e{KeyEvent::Type::keyDown, posted.keyCode, 0, ";", ";", posted.userData};
        EXPECT_FALSE(h.deliver(e));
    }
    EXPECT_FALSE(h.session());
    EXPECT_EQ(h.type(";"), "p");
    EXPECT_EQ(h.session()->mode, Mode::inlineMode) << "not the instant-open sequence";
}

TEST(PickerScenario, PopupWaitsForTheDelayAndThreeCharacters) {
    PickerHarness h;
    h.type(";sM");
    h.wait(0.3);
    EXPECT_FALSE(h.panel->visible) << "two letters are too few";
    h.type("I");
    EXPECT_TRUE(h.panel->visible) << "the third shows it at once";
    EXPECT_EQ(h.model->query(), "smi");
    EXPECT_EQ(h.session()->deleteCount, 4);

    PickerHarness instant;
    instant.prefs.setPopupDelayMs(0);
    instant.type(";ab ");
    EXPECT_FALSE(instant.panel->visible) << "a space does not count";
    instant.type("c");
    EXPECT_EQ(instant.model->query(), "ab c");

    PickerHarness early;  // the timer fires while the clock says 20 ms are still to go
    early.type(";");
    early.clockOffset = -0.02;
    early.type("smi");
    early.wait(0.21);  // 310 ms after the trigger by the loop, 290 by the clock
    EXPECT_FALSE(early.panel->visible);
    early.wait(0.02);
    EXPECT_TRUE(early.panel->visible) << "it waits for the rest of the delay, not a whole new one";
}

TEST(PickerScenario, KeysThatEndAnInlineSession) {
    for (const char* typed : {"; ", ";.", "3;5", ";→", ";⏎", ";⇥", ";⎋", ";⌫", ";a⌫⌫"}) {
        PickerHarness h;
        EXPECT_EQ(h.type(typed), std::string(testing::keystrokes(typed).size(), 'p')) << typed;
        EXPECT_FALSE(h.session()) << typed;
        EXPECT_TRUE(h.poster.posted.empty()) << typed;
    }
    PickerHarness h;
    h.type("a;5");
    EXPECT_EQ(h.session()->query, "5") << "a digit after a letter and the trigger is a query";
}

TEST(PickerScenario, DeletingInAnInlineSession) {
    PickerHarness h;
    h.type(";abc");
    h.wait(0.3);
    EXPECT_EQ(h.type("⌫"), "p") << "the application deletes the character itself";
    EXPECT_EQ(h.model->query(), "ab");
    EXPECT_EQ(h.type("c⌫", ModifierFlag::command), "ss");
    EXPECT_EQ(h.session()->query, "") << "Super-C was kept from the application, Super-Delete emptied it";
    EXPECT_EQ(h.poster.deletePresses(), 2) << "exactly the query is erased for the application";
    EXPECT_EQ(h.session()->deleteCount, 1);
    EXPECT_TRUE(h.panel->visible);

    PickerHarness word;
    word.type(";ab cd ");
    EXPECT_EQ(word.type("⌫", ModifierFlag::control), "p");
    EXPECT_EQ(word.session()->query, "ab ");
    EXPECT_EQ(word.session()->deleteCount, 4);
}

// Alt and Super with a character key type nothing, the letter or an accented one, depending on the
// application: an inline search keeps them from it and goes on with its count. AltGr's own
// characters are typed and counted; with Control, or once past the hold, the search ends.
TEST(PickerScenario, AltAndSuperWithACharacterInAnInlineSession) {
    using F = std::uint64_t;
    constexpr F option = ModifierFlag::option, command = ModifierFlag::command;
    struct Case {
        F flags;
        std::string characters, ignoringModifiers;
        bool held;
        std::string decision;
        std::optional<std::string> query;  // none: the session ended
    };
    const Case cases[] = {
        {option, "i", "i", true, "s", "sm"},
        {command, "a", "a", true, "s", "sm"},
        {command | ModifierFlag::shift, "A", "A", true, "s", "sm"},
        {option | command, " ", " ", true, "s", "sm"},
        {option, "ø", "o", true, "p", "smø"},
        {option | ModifierFlag::control, "\t", "i", true, "p", std::nullopt},
        {option, "i", "i", false, "p", std::nullopt},
    };
    for (const auto& c : cases) {
        PickerHarness h;
        h.type(";sm");
        KeyEvent key{KeyEvent::Type::keyDown, 34, c.flags, c.characters, c.ignoringModifiers, 0};
        key.held = c.held;
        EXPECT_EQ(h.controller->handle(key) == GlobalKeyTap::Decision::swallow ? "s" : "p", c.decision)
            << c.characters;
        ASSERT_EQ(h.session().has_value(), c.query.has_value()) << c.characters;
        if (!c.query) continue;
        EXPECT_EQ(h.session()->query, *c.query) << c.characters;
        EXPECT_EQ(h.session()->deleteCount, static_cast<int>(text::characterCount(*c.query)) + 1);
    }
}

// BackSpace as Linux text fields take it: Control erases a word, Super the line (posted by the
// picker), Shift changes nothing; what other modifiers erase cannot be counted, so they end the
// search and reach the application.
TEST(PickerScenario, ModifiedBackSpaceInAnInlineSession) {
    using F = std::uint64_t;
    constexpr F shift = ModifierFlag::shift, control = ModifierFlag::control, option = ModifierFlag::option;
    struct Case {
        F flags;
        std::string decision;
        std::optional<std::string> query;  // none: the session ended
        int deleteCount;
    };
    const Case cases[] = {
        {0, "p", "ab c", 5},
        {shift, "p", "ab c", 5},
        {ModifierFlag::capsLock, "p", "ab c", 5},
        {control, "p", "ab ", 4},
        {ModifierFlag::command, "s", "", 1},
        {ModifierFlag::command | option, "s", "", 1},
        {option, "p", std::nullopt, 0},
        {control | shift, "p", std::nullopt, 0},
        {control | option, "p", std::nullopt, 0},
        {option | shift, "p", std::nullopt, 0},
    };
    for (const auto& c : cases) {
        PickerHarness h;
        h.type(";ab cd");
        EXPECT_EQ(h.type("⌫", c.flags), c.decision) << std::hex << c.flags;
        ASSERT_EQ(h.session().has_value(), c.query.has_value()) << std::hex << c.flags;
        if (!c.query) continue;
        EXPECT_EQ(h.session()->query, *c.query) << std::hex << c.flags;
        EXPECT_EQ(h.session()->deleteCount, c.deleteCount) << std::hex << c.flags;
    }

    PickerHarness exclusive;  // the query is the picker's own there: Option still erases a word
    exclusive.type(";;ab cd");
    EXPECT_EQ(exclusive.type("⌫", option), "s");
    EXPECT_EQ(exclusive.session()->query, "ab ");
}

// Caret and function keys (Home, F5, forward Delete, as the X11 adapter gives them) end a search
// by its mode: an inline one lets the key through, an exclusive one swallows it.
TEST(PickerScenario, CaretAndFunctionKeysEndASearch) {
    for (const char* character : {"\uF729", "\uF708", "\uF728", "\uF702"}) {
        KeyEvent key{KeyEvent::Type::keyDown, 115, 0, character, character, 0};
        PickerHarness h;
        h.type(";smi");
        h.wait(0.3);
        EXPECT_FALSE(h.deliver(key));
        EXPECT_FALSE(h.session());
        EXPECT_FALSE(h.panel->visible);

        PickerHarness exclusive;
        exclusive.type(";;sm");
        EXPECT_TRUE(exclusive.deliver(key));
        EXPECT_FALSE(exclusive.session());
    }
}

TEST(PickerScenario, EscapeAfterThePanelShowsIsSwallowed) {
    PickerHarness h;
    h.type(";smi");
    h.wait(0.3);
    EXPECT_EQ(h.type("⎋"), "s");
    EXPECT_FALSE(h.panel->visible);
    EXPECT_FALSE(h.session());
}

TEST(PickerScenario, BlocklistedOpeningSequences) {
    PickerHarness h;
    h.prefs.setOpeningSequenceBlocklist({";SMILE", ";Cafe\u0301"});
    h.type(";smi");
    h.wait(0.3);
    EXPECT_TRUE(h.panel->visible) << "only the whole sequence is blocked";
    EXPECT_EQ(h.type("le"), "pp");
    EXPECT_FALSE(h.panel->visible);
    EXPECT_FALSE(h.session());

    h.type(";caf");
    h.wait(0.3);
    EXPECT_TRUE(h.panel->visible);
    EXPECT_EQ(h.type("\u00e9"), "p") << "the composed accent blocks as the decomposed entry does";
    EXPECT_FALSE(h.session());
}

TEST(PickerScenario, ExcludedAndOwnApplicationsStartNothing) {
    using App = PickerController::Dependencies::FrontmostApp;
    for (const App& app : {App{"jetbrains-pycharm", "PyCharm", {}}, App{std::nullopt, "xterm", {}},
                           App{PickerHarness::kOwnID, "Mosaiko", {}}}) {
        PickerHarness h;
        h.frontmost = app;
        EXPECT_EQ(h.type(";;smi⏎"), "pppppp");
        h.wait(1);
        EXPECT_FALSE(h.session());
        EXPECT_EQ(h.panel->showCount, 0);
    }
}

// Which application is in front costs the display server round trips to learn: ordinary typing
// never asks, only a key that would start something there.
TEST(PickerScenario, OnlyAKeyThatWouldStartSomethingAsksWhichApplicationIsInFront) {
    PickerHarness h;
    EXPECT_EQ(h.type("hello, world 12"), "ppppppppppppppp");
    EXPECT_EQ(h.frontmostLookups, 0);
    EXPECT_EQ(h.type(";"), "p");
    EXPECT_EQ(h.frontmostLookups, 1);
    EXPECT_TRUE(h.session());
}

TEST(PickerScenario, InstantOpen) {
    PickerHarness h;
    h.prefs.setQuickOpenTarget(QuickOpenTarget::pins);
    h.collections.togglePinned("smile");
    EXPECT_EQ(h.type(";;", 0, 0.7), "ps") << "the doubled trigger";
    EXPECT_EQ(h.poster.deletePresses(), 1) << "the first semicolon reached the application";
    EXPECT_EQ(h.session()->mode, Mode::exclusive);
    EXPECT_EQ(h.model->scope(), Scope::pinned);
    EXPECT_EQ(h.type("smI⏎"), "ssss");
    EXPECT_EQ(h.poster.deletePresses(), 1);
    EXPECT_EQ(h.poster.texts(), Texts{"😄"});

    PickerHarness slow;
    EXPECT_EQ(slow.type(";;", 0, 0.8), "pp") << "typed slowly the second ends the search";
    EXPECT_FALSE(slow.session());

    PickerHarness colons;  // a sequence that is not the trigger comes from the recent characters
    colons.prefs.setQuickOpenShortcut(QuickOpenShortcut::doubleColon);
    EXPECT_EQ(colons.type("::", 0, 0.75), "ps");
    colons.type("⎋");
    EXPECT_EQ(colons.type("::", 0, 0.76), "pp");
    EXPECT_EQ(colons.type("x:⏎:"), "pppp") << "keys that are no plain characters break the sequence";
    colons.type("x:");
    colons.type("c", ModifierFlag::command);
    EXPECT_EQ(colons.type(":"), "p");
    EXPECT_FALSE(colons.session());
}

// The key tap listens before the search index is built: keys typed meanwhile open the panel and
// build the query as ever, and the results follow once the index is in. An inline search's panel,
// whose Return would find nothing to insert before, waits for them.
TEST(PickerScenario, KeysBeforeTheIndexIsInAreKeptAndTheResultsFollow) {
    PickerHarness h(PickerHarness::IndexToCome{});
    EXPECT_EQ(h.type(";;he"), "psss");
    EXPECT_TRUE(h.panel->visible);
    EXPECT_TRUE(h.model->results().empty());
    h.finishLoading();
    ASSERT_FALSE(h.model->results().empty());
    EXPECT_EQ(h.model->results().front().id, "heart");
    EXPECT_EQ(h.type("⏎"), "s");
    EXPECT_EQ(h.poster.texts(), Texts{"❤️"});

    PickerHarness inlineSearch(PickerHarness::IndexToCome{});
    EXPECT_EQ(inlineSearch.type(";hea"), "pppp");
    inlineSearch.wait(0.4);
    EXPECT_FALSE(inlineSearch.panel->visible);
    inlineSearch.finishLoading();
    inlineSearch.wait(0.05);
    EXPECT_TRUE(inlineSearch.panel->visible);
    EXPECT_EQ(inlineSearch.type("r⏎"), "ps");
    EXPECT_EQ(inlineSearch.poster.texts(), Texts{"❤️"});
    EXPECT_EQ(inlineSearch.poster.deletePresses(), 5) << "the trigger and the query typed before";

    // Return before the entries are in inserted nothing and ended the search: the choice waits for
    // them, unless another key comes first.
    struct Case {
        std::string keys;
        Texts inserted;
        bool sessionLeft;
    };
    for (const auto& [keys, inserted, sessionLeft] :
         std::vector<Case>{{";;smi⏎", {"😄"}, false}, {";;sm⏎i", {}, true}, {";;smi⏎⎋", {}, false}}) {
        PickerHarness early(PickerHarness::IndexToCome{});
        early.type(keys);
        early.wait(0.2);
        EXPECT_TRUE(early.poster.texts().empty()) << keys;
        early.finishLoading();
        early.wait(0.05);
        EXPECT_EQ(early.poster.texts(), inserted) << keys;
        EXPECT_EQ(early.session().has_value(), sessionLeft) << keys;
        EXPECT_EQ(early.panel->visible, sessionLeft) << keys;
    }
}

TEST(PickerScenario, EachKeyRebuildsTheResultsOnceTheOneThatShowsThePanelToo) {
    PickerHarness h;
    h.prefs.setPopupDelayMs(0);
    h.prefs.setQuickOpenTarget(QuickOpenTarget::pins);
    h.collections.togglePinned("smile");
    h.wait(0);
    int rebuilds = 0;
    const auto counting = h.model->results.observe([&](const auto&) { ++rebuilds; });
    for (const auto& [keys, expected] :
         std::vector<std::pair<std::string, int>>{{";sm", 0}, {"i", 1}, {"l", 2}, {"⌫", 3}, {"⎋", 3}}) {
        h.type(keys);
        EXPECT_EQ(rebuilds, expected) << "after " << keys;
    }
    ASSERT_FALSE(h.panel->visible);
    h.type(";;", 0, 0.7);
    EXPECT_EQ(rebuilds, 4) << "quick open on a scope";
    EXPECT_EQ(h.model->scope(), Scope::pinned);
    EXPECT_EQ(h.model->activeEntry()->id, "smile");
}

TEST(PickerScenario, ExclusiveSessionsKeepTheirKeys) {
    PickerHarness h;
    h.type(";;");
    EXPECT_EQ(h.type("ab⌫"), "sss");
    EXPECT_EQ(h.model->query(), "a");
    EXPECT_EQ(h.type("."), "s") << "a non-query character ends it, swallowed";
    EXPECT_FALSE(h.session());
    for (const char* ending : {"⌫", " "}) {
        h.type(";;");
        EXPECT_EQ(h.type(ending), "s") << "on an empty query";
        EXPECT_FALSE(h.session());
    }

    h.controller->openQuickFind();  // the menu: no Delete presses, scope all
    EXPECT_EQ(h.model->scope(), Scope::all);
    EXPECT_EQ(h.type("hea⏎"), "ssss");
    EXPECT_EQ(h.poster.texts(), Texts{"❤️"});
    EXPECT_EQ(h.poster.deletePresses(), 3);
}

TEST(PickerScenario, TabCyclesTheScopesThatHaveContent) {
    PickerHarness h;
    h.controller->openQuickFind();
    std::vector<Scope> seen;
    for (const char* key : {"⇥", "⇥", "⇥"}) seen.push_back((h.type(key), h.model->scope()));
    EXPECT_EQ(seen, (std::vector{Scope::shortcodes, Scope::emoticons, Scope::all})) << "no pins, no glyphs";
    EXPECT_EQ(h.type("⇥", ModifierFlag::shift), "s");
    EXPECT_EQ(h.model->scope(), Scope::emoticons);
    h.collections.togglePinned("heart");
    h.type("⇥⇥");
    EXPECT_EQ(h.model->scope(), Scope::pinned);
}

TEST(PickerScenario, ArrowsMoveTheSelectionAndTheVariants) {
    PickerHarness h;
    h.prefs.setPopupDelayMs(0);
    EXPECT_EQ(h.type(";thu↑→→⏎"), "ppppssss");
    EXPECT_EQ(h.poster.texts(), Texts{"👍🏼"}) << "the variant, inserted through the action stream";
    EXPECT_EQ(h.poster.deletePresses(), 4);
    EXPECT_FALSE(h.panel->visible);

    h.poster.clear();
    h.type(";thu↑→↓⏎");
    EXPECT_EQ(h.poster.texts(), Texts{"👍🏼"})
        << "back in the main row, which inserts the variant chosen before";
    h.poster.clear();
    EXPECT_EQ(h.type(";smi↑→⏎"), "ppppsss") << "Up without variants stays in the main row";
    EXPECT_EQ(h.poster.texts(), Texts{"😃"});
}

TEST(PickerScenario, ShiftReturnKeepsThePanelOpen) {
    PickerHarness h;
    h.prefs.setPopupDelayMs(0);
    h.type(";smi");
    EXPECT_EQ(h.type("⏎", ModifierFlag::shift), "s");
    EXPECT_TRUE(h.panel->visible);
    EXPECT_EQ(h.session()->mode, Mode::exclusive);
    EXPECT_EQ(h.type("⏎"), "s");
    EXPECT_EQ(h.poster.deletePresses(), 4) << "the second insertion has nothing to erase";
    EXPECT_EQ(h.poster.texts(), (Texts{"😄", "😄"}));
    EXPECT_FALSE(h.panel->visible);

    h.prefs.setKeepOpenOnShiftEnter(false);
    h.type(";smi");
    h.type("⌤", ModifierFlag::shift);
    EXPECT_FALSE(h.panel->visible);
}

TEST(PickerScenario, NothingToInsertOrAFailedInsertionRecordsNothing) {
    PickerHarness h;
    h.prefs.setPopupDelayMs(0);
    h.type(";zzz");
    EXPECT_EQ(h.type("⏎"), "s") << "no results";
    h.type(";smi");
    h.poster.failingCreations = {h.poster.creations + 8};  // the text's key-down
    EXPECT_EQ(h.type("⏎", ModifierFlag::shift), "s");
    EXPECT_TRUE(h.poster.posted.empty()) << "no half-erased text";
    EXPECT_TRUE(h.usage.recents().empty());
    EXPECT_FALSE(h.panel->visible);
    EXPECT_FALSE(h.session());
}

TEST(PickerScenario, LibraryShortcut) {
    PickerHarness h;
    h.prefs.setLibraryShortcut(KeyboardShortcut{14, ModifierFlag::control | ModifierFlag::option, "e"});
    KeyEvent press{KeyEvent::Type::keyDown, 14, ModifierFlag::control | ModifierFlag::option, "´", "e", 0};
    EXPECT_FALSE(h.deliver(press)) << "no handler installed: ordinary input";

    std::vector<Request> requests;
    h.controller->openLibraryHandler = [&](const Request& r) { requests.push_back(r); };
    h.type(";ab");
    EXPECT_TRUE(h.deliver(press));
    EXPECT_FALSE(h.session()) << "ended; the typed text stays";
    h.type(";abc");
    h.wait(0.3);
    h.type("⇥");
    EXPECT_TRUE(h.deliver(press));
    EXPECT_FALSE(h.panel->visible);
    EXPECT_EQ(requests, (std::vector<Request>{{std::nullopt, 0}, {Scope::shortcodes, 4}}));

    h.frontmost = {PickerHarness::kOwnID, "Mosaiko", {}};
    EXPECT_FALSE(h.deliver(press)) << "inside this program the shortcut is the window's business";
    EXPECT_EQ(requests.size(), 2u);

    // While a new shortcut is recorded the stored one reaches the recorder, from any application.
    h.frontmost = {"org.example.editor", "Editor", {}};
    std::vector<KeyEvent> seen;
    h.controller->keyDownWhileLibraryShortcutSuspended = [&](const KeyEvent& e) { seen.push_back(e); };
    h.controller->setLibraryShortcutSuspended(true);
    EXPECT_FALSE(h.tapSystem.livePorts()[0]->holds.covers(press)) << "the tap lets it through at once";
    EXPECT_FALSE(h.deliver(press));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(KeyboardShortcut({14, ModifierFlag::control | ModifierFlag::option, "e"}).matches(seen[0]));
    h.controller->setLibraryShortcutSuspended(false);
    EXPECT_TRUE(h.deliver(press));
    EXPECT_EQ(requests.size(), 3u);
    EXPECT_EQ(seen.size(), 1u);
}

// The tap holds only what the state may swallow (every harness also checks that nothing else was
// swallowed).
TEST(PickerScenario, HeldKeysFollowTheState) {
    PickerHarness h;
    h.prefs.setLibraryShortcut(KeyboardShortcut{14, ModifierFlag::control, "e"});
    h.controller->openLibraryHandler = [](const Request&) {};
    const KeyEvent shortcut{KeyEvent::Type::keyDown, 14, ModifierFlag::control, "\x05", "e", 0};
    const KeyEvent semicolon = testing::keystrokes(";")[0], letter = testing::keystrokes("a")[0];
    const KeyEvent enter = testing::keystrokes("⏎")[0];
    const KeyEvent lineDeletion = testing::keystrokes("⌫", ModifierFlag::command)[0];
    auto held = [&](const KeyEvent& key) { return h.tapSystem.livePorts().at(0)->holds.covers(key); };
    auto heldNow = [&] {
        std::string s;
        for (const KeyEvent* key : {&shortcut, &semicolon, &letter, &enter, &lineDeletion})
            s += held(*key) ? 'h' : '-';
        return s;
    };
    h.type("x");
    EXPECT_EQ(heldNow(), "hh---") << "idle: the library shortcut, the key completing \";;\"";
    h.type(";");
    EXPECT_EQ(heldNow(), "hh--h") << "the doubled trigger, the line deletion; not yet the panel's keys";
    const auto& keys = h.tapSystem.livePorts()[0]->holds.keys;
    const auto doubled =
        std::find_if(keys.begin(), keys.end(), [](const KeyHold& k) { return k.character == ";"; });
    ASSERT_NE(doubled, keys.end());
    EXPECT_EQ(doubled->until, h.loop.uptime() + 0.75);
    h.type("smi");
    h.wait(0.3);
    EXPECT_EQ(heldNow(), "h--hh") << "the panel shows: its keys; the query holds no doubled trigger";
    h.type("⎋;;");
    EXPECT_EQ(heldNow(), "hhhhh") << "exclusive: every key";
    h.controller->stop();
    EXPECT_TRUE(h.tapSystem.ports[0]->holds.empty());
}

// A key the state would swallow that reached the application before the tap held it ends the search
// and passes, as if the panel had not shown.
TEST(PickerScenario, KeysThatWereNotHeldInTimePass) {
    PickerHarness h;
    h.type(";smi");
    h.wait(0.3);
    KeyEvent enter = testing::keystrokes("⏎")[0];
    enter.held = false;
    EXPECT_EQ(h.controller->handle(enter), GlobalKeyTap::Decision::passThrough);
    EXPECT_FALSE(h.session());
    EXPECT_FALSE(h.panel->visible);
    EXPECT_TRUE(h.poster.posted.empty());
}

// The instant-open pair whose second key got past the tap (its thread saw the first too late, or
// the program was stopped) counts by the display server's times. Once the tap's mark, or a key held,
// tells that every key is held, the pair and the query characters that got past with it are erased
// and the panel opens. Another character among those ends the search as the panel would have: it
// goes too, and the characters after it are typed again. Any other key leaves everything typed.
TEST(PickerScenario, AnInstantOpenPairThatGotPastTheTap) {
    struct Case {
        double secondAt;
        std::string passed, then;  // then: "mark", "timeout" or a key that is held
        int deletes;
        std::optional<std::string> query;  // none: no panel
        std::string retyped;
    };
    const Case cases[] = {
        {10.2, "", "mark", 2, "", ""},
        {10.2, "te", "mark", 4, "te", ""},
        {10.2, "t", "e", 3, "te", ""},
        {10.2, " tea,", "mark", 7, std::nullopt, "tea,"},
        {10.2, "te. A", "k", 7, std::nullopt, " A"},
        {10.2, "te.→", "mark", 0, std::nullopt, ""},
        {10.2, "⏎", "mark", 0, std::nullopt, ""},
        {10.2, "t", "timeout", 0, std::nullopt, ""},
        {10.8, "", "mark", 0, std::nullopt, ""},
    };
    for (const auto& c : cases) {
        PickerHarness h;
        auto passed = [&](const std::string& keys, double at) {
            for (KeyEvent key : testing::keystrokes(keys)) {
                if (key.keyCode == KeyCode::rightArrow) key.characters = "\uF703";
                key.held = false, key.serverTime = at, at += 0.01;
                EXPECT_EQ(h.controller->handle(key), GlobalKeyTap::Decision::passThrough);
            }
        };
        passed(";", 10);
        passed(";" + c.passed, c.secondAt);
        KeyEvent notice;
        notice.type = KeyEvent::Type::tapDisabledByTimeout;
        if (c.then == "mark") {
            h.tapSystem.reportMarks();
        } else if (c.then == "timeout") {
            h.tapSystem.livePorts().at(0)->callback(notice);
            h.tapSystem.reportMarks();
        } else {
            EXPECT_EQ(h.type(c.then), c.query ? "s" : "p");
        }
        const std::string label = c.passed + " " + c.then;
        EXPECT_EQ(h.panel->visible, c.query.has_value()) << label;
        EXPECT_EQ(h.poster.deletePresses(), c.deletes) << label;
        EXPECT_EQ(text::join(h.poster.texts(), ""), c.retyped) << label;
        if (c.query) {
            EXPECT_EQ(h.model->query(), *c.query) << label;
        }
    }

    PickerHarness late;  // held, but handled long after the first
    KeyEvent first = testing::keystrokes(";")[0], second = first;
    first.serverTime = 10, second.serverTime = 10.2;
    late.deliver(first);
    late.wait(0.8);
    EXPECT_TRUE(late.deliver(second));
    EXPECT_TRUE(late.panel->visible);
    EXPECT_EQ(late.poster.deletePresses(), 1);
}

// A tap that places its holds late: the panel shows only once its keys are held, and nothing waits
// meanwhile. A key it holds in time is the search's (Right moves the selection, Return inserts);
// one that reached the application first ends the search, and that panel never shows.
TEST(PickerScenario, ThePanelShowsOnceItsKeysAreHeld) {
    PickerHarness h;
    h.prefs.setPopupDelayMs(0);
    h.tapSystem.holdsLate = true;
    EXPECT_EQ(h.type(";smi"), "pppp");
    EXPECT_FALSE(h.panel->visible);
    EXPECT_EQ(h.type("→"), "p") << "before its hold";
    EXPECT_FALSE(h.session());
    h.tapSystem.placeHolds();
    EXPECT_FALSE(h.panel->visible);

    h.type(";;");
    h.tapSystem.placeHolds();
    EXPECT_EQ(h.panel->showCount, 1);
    h.type("⎋");
    h.type(";smi");
    EXPECT_FALSE(h.panel->visible);
    h.tapSystem.placeHolds();
    EXPECT_EQ(h.panel->showCount, 2);
    EXPECT_EQ(h.type("→⏎"), "ss");
    EXPECT_EQ(h.poster.texts(), Texts{"😃"});
}

TEST(PickerScenario, PanelActionsArriveAfterTheCurrentEvent) {
    PickerHarness h;
    std::vector<Request> requests;
    h.controller->openLibraryHandler = [&](const Request& r) { requests.push_back(r); };
    h.prefs.setPopupDelayMs(0);
    h.type(";smi");
    using Action = PickerViewModel::UIAction;
    h.model->uiActionSubject.send(Action::InsertMain{7, false});
    h.model->uiActionSubject.send(Action::InsertMain{1, true});
    EXPECT_TRUE(h.poster.posted.empty());
    h.loop.runPending();
    EXPECT_EQ(h.poster.texts(), Texts{"😃"}) << "the index out of range did nothing";
    EXPECT_EQ(h.session()->mode, Mode::exclusive);

    h.model->uiActionSubject.send(Action::OpenLibrary{Scope::emoticons});
    h.model->uiActionSubject.send(Action::InsertMain{0, false});
    h.loop.runPending();
    EXPECT_EQ(requests, (std::vector<Request>{{Scope::emoticons, 0}}));
    EXPECT_EQ(h.poster.texts().size(), 1u) << "no session, no insertion";

    h.type(";smi");
    h.model->uiActionSubject.send(Action::Close{});
    h.loop.runPending();
    EXPECT_FALSE(h.panel->visible);
    EXPECT_FALSE(h.session());
}

// Another window became active during a search (a click, Alt+Tab): the search ends at once, and
// neither its Return nor a click on the panel erases or types anything in that window.
TEST(PickerScenario, AnotherActiveWindowEndsTheSearchSilently) {
    for (const std::string opening : {";sm", ";smi", ";;smi"}) {
        PickerHarness h;
        h.frontmost.windowID = "1";
        h.type(opening);
        h.wait(0.3);
        const int erasedAtOpening = h.poster.deletePresses();
        h.frontmost.windowID = "2";
        EXPECT_EQ(h.type("⏎"), "p") << opening;
        EXPECT_FALSE(h.session()) << opening;
        EXPECT_FALSE(h.panel->visible) << opening;
        EXPECT_EQ(h.poster.deletePresses(), erasedAtOpening) << opening;
        EXPECT_TRUE(h.poster.texts().empty()) << opening;
    }
    PickerHarness click;
    click.type(";smi");
    click.wait(0.3);
    click.frontmost.windowID = "2";
    click.model->uiActionSubject.send(PickerViewModel::UIAction::InsertMain{0, false});
    click.loop.runPending();
    EXPECT_TRUE(click.poster.posted.empty());
    EXPECT_FALSE(click.panel->visible);
}

TEST(PickerScenario, StopAndDestructionLeaveNothingRunning) {
    PickerHarness h;
    h.type(";smi");
    h.wait(0.3);
    h.controller->stop();
    EXPECT_FALSE(h.panel->visible);
    EXPECT_EQ(h.type(";;smi⏎"), "pppppp");
    EXPECT_TRUE(h.tapSystem.livePorts().empty());

    PickerHarness gone;
    gone.type(";smi");
    gone.controller.reset();
    gone.wait(1);
    EXPECT_EQ(gone.panel->showCount, 0) << "the popup timer went with the controller";
    EXPECT_EQ(gone.type("a"), "p");
}

TEST(PickerControllerHelpers, QueryDeletionAndSuffixes) {
    using M = PickerController::QueryDeletionMode;
    using D = PickerController::QueryDeletion;
    EXPECT_EQ(PickerController::queryDeletion("", M::character), (D{"", 0}));
    EXPECT_EQ(PickerController::queryDeletion("ab👍🏽", M::character), (D{"ab", 1}));
    EXPECT_EQ(PickerController::queryDeletion("ab cd ", M::word), (D{"ab ", 3}));
    EXPECT_EQ(PickerController::queryDeletion("   ", M::word), (D{"", 3}));
    EXPECT_EQ(PickerController::queryDeletion("ab cd", M::line), (D{"", 5}));
    EXPECT_TRUE(PickerController::hasMatchedSuffix({"x", "e\u0301"}, "\u00e9")) << "canonically equal";
    EXPECT_FALSE(PickerController::hasMatchedSuffix({":"}, "::"));
    EXPECT_FALSE(PickerController::hasMatchedSuffix({"a"}, ""));
}

}  // namespace
}  // namespace mosaiko

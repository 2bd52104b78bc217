#include "platform/KeyTapRules.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace mosaiko {
namespace {

// The display server as a script: what the rules asked of it, in order ("replay", "drop",
// "hold:all" / "hold:typed-into" for every key, in the window typed into / "hold:3" for three keys /
// "hold:none").
struct ScriptedServer final : KeyTapRules::Server {
    std::vector<std::string> calls;
    void replay() override { calls.push_back("replay"); }
    void drop() override { calls.push_back("drop"); }
    void hold(const KeyHolds& holds) override {
        calls.push_back(holds.everyKey       ? holds.inFocusedWindow ? "hold:typed-into" : "hold:all"
                        : holds.keys.empty() ? "hold:none"
                                             : "hold:" + std::to_string(holds.keys.size()));
    }
};

// The poster's ledger: presses the program is about to type, and whether it types.
struct Ledger {
    std::multimap<unsigned, std::int64_t> pending;
    bool posting = false;
    std::vector<unsigned> retyped;
    std::vector<unsigned> states;  // of the retyped presses
    KeyTapRules::OwnKeys ownKeys() {
        return {[this](unsigned keycode, double) -> std::optional<std::int64_t> {
                    auto it = pending.find(keycode);
                    if (it == pending.end()) return std::nullopt;
                    const auto marker = it->second;
                    pending.erase(it);
                    return marker;
                },
                [this](double) { return posting || !pending.empty(); },
                [this](unsigned keycode, unsigned state) {
                    posting = true;  // until it is typed
                    return retyped.push_back(keycode), states.push_back(state), true;
                }};
    }
};

struct Delivery {
    std::uint64_t id;
    KeyEvent event;
    bool asks;
};

class KeyTapRulesTest : public ::testing::Test {
  protected:
    void press(unsigned keycode, bool held, double now, std::string characters = {}) {
        KeyEvent e;
        e.keyCode = static_cast<std::uint16_t>(keycode);
        e.characters = std::move(characters);
        e.held = held;
        rules.press(keycode, e, now);
    }
    // Asks about every held press, as a handler holding every key would.
    void holdEveryKey(KeyTapRules& r) {
        r.setHolds(KeyHolds{true, {}}, 0);
        server.calls.clear();
    }

    ScriptedServer server;
    Ledger ledger;
    std::vector<Delivery> delivered;
    KeyTapRules rules{server, ledger.ownKeys(),
                      [this](std::uint64_t id, const KeyEvent& e, bool asks) {
                          delivered.push_back({id, e, asks});
                      },
                      0.1};
};

TEST_F(KeyTapRulesTest, HeldPressesWaitForTheAnswerOthersAreReported) {
    holdEveryKey(rules);
    press(10, false, 0);
    press(11, true, 0.01);
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_FALSE(delivered[0].asks);
    EXPECT_FALSE(delivered[0].event.held);
    EXPECT_TRUE(delivered[1].asks);
    EXPECT_TRUE(server.calls.empty()) << "the held press waits";
    EXPECT_DOUBLE_EQ(rules.nextDeadline().value_or(0), 0.11);

    rules.answer(delivered[1].id, true, 0.02);
    press(12, true, 0.03);
    rules.answer(delivered[2].id, false, 0.04);
    rules.answer(delivered[2].id, true, 0.05);  // once answered, again does nothing
    EXPECT_EQ(server.calls, (std::vector<std::string>{"drop", "replay"}));
}

// No answer within the bound: the press goes on and the tap disables itself; until it is enabled
// again held presses pass unasked and nothing is reported; a late answer changes nothing.

// While every key is asked for (a search that keeps its keys), a press typed before another window
// became active never goes on to it, answered or not; one typed after goes on, and so does any
// press while fewer keys are asked for.
TEST_F(KeyTapRulesTest, ASearchsKeyNeverGoesOnToAWindowActivatedAfterIt) {
    holdEveryKey(rules);
    press(10, true, 0);
    rules.activeWindowChanged();
    rules.answer(delivered.back().id, false, 0.01);
    press(11, true, 0.02);
    rules.answer(delivered.back().id, false, 0.03);
    press(12, true, 0.04);
    rules.activeWindowChanged();
    rules.tick(0.2);  // no answer in time
    rules.setEnabled(true);
    rules.setHolds(KeyHolds{false, {KeyHold::key(36)}}, 0.3);
    press(36, true, 0.3);
    rules.activeWindowChanged();
    rules.answer(delivered.back().id, false, 0.31);
    EXPECT_EQ(server.calls, (std::vector<std::string>{"drop", "replay", "drop", "hold:1", "replay"}));
}
TEST_F(KeyTapRulesTest, AnUnansweredPressPassesAfterTheBound) {
    holdEveryKey(rules);
    press(11, true, 0);
    rules.tick(0.099);
    EXPECT_TRUE(server.calls.empty());
    rules.tick(0.1);
    EXPECT_EQ(server.calls, std::vector<std::string>{"replay"});
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_EQ(delivered[1].event.type, KeyEvent::Type::tapDisabledByTimeout);
    EXPECT_FALSE(rules.isEnabled());

    rules.answer(delivered[0].id, true, 0.2);
    press(12, true, 0.3);
    press(13, false, 0.3);
    EXPECT_EQ(server.calls, (std::vector<std::string>{"replay", "replay"}));
    EXPECT_EQ(delivered.size(), 2u);
    ledger.posting = true;  // disabled too, a key typed while the program types lands after its text
    press(16, true, 0.35);
    EXPECT_EQ(ledger.retyped, std::vector<unsigned>{16});
    EXPECT_EQ(server.calls.back(), "drop");
    ledger = {};

    rules.setEnabled(true);
    press(14, true, 0.4);
    EXPECT_TRUE(delivered.back().asks);

    ledger.posting = true;  // typed while the program types: it still lands after the text
    press(15, true, 0.5);
    rules.tick(0.6);
    EXPECT_EQ(ledger.retyped, std::vector<unsigned>{15});
    EXPECT_EQ(server.calls.back(), "drop");
}

// A handler still busy with the keys typed just before a held press (they do not wait) keeps it
// waiting, as does one deciding it, up to the longer bound; a handler that does not move lets it go
// at the answer bound. A press never both goes on and is acted upon.
TEST_F(KeyTapRulesTest, APressWaitsWhileTheHandlerMovesAndGoesOnWhenItStalls) {
    using Progress = KeyTapRules::Progress;
    std::vector<Progress> progress;  // what the handler reports at each look, in turn
    std::vector<bool> mayWait;
    KeyTapRules rules2{server, ledger.ownKeys(),
                       [this](std::uint64_t id, const KeyEvent& e, bool asks) {
                           delivered.push_back({id, e, asks});
                       },
                       0.1,
                       [&](std::uint64_t, bool wait) {
                           mayWait.push_back(wait);
                           const Progress p = progress.front();
                           progress.erase(progress.begin());
                           return p;
                       }};
    holdEveryKey(rules2);
    KeyEvent key;
    progress = {Progress::catchingUp, Progress::deciding};
    rules2.press(11, key, 0);
    rules2.tick(0.1);
    rules2.tick(0.2);
    rules2.tick(1.1);
    EXPECT_TRUE(server.calls.empty()) << "caught up, then deciding";
    rules2.answer(delivered[0].id, true, 1.15);
    EXPECT_EQ(server.calls, std::vector<std::string>{"drop"});

    progress = {Progress::catchingUp, Progress::catchingUp, Progress::idle};
    rules2.press(12, key, 2);
    for (double t : {2.1, 2.5, 3.0}) rules2.tick(t);  // catching up for the longest wait, then no more
    EXPECT_EQ(mayWait, (std::vector<bool>{true, true, true, true, false}));
    EXPECT_EQ(server.calls, (std::vector<std::string>{"drop", "replay"}));
    EXPECT_FALSE(rules2.isEnabled());
}

TEST_F(KeyTapRulesTest, OwnPressesPassAtOnce) {
    rules.setHolds(KeyHolds{false, {KeyHold::key(20)}}, 0);
    server.calls.clear();
    ledger.pending = {{20, kEventMarker}, {21, kRetypedEventMarker}};
    press(20, true, 0);
    press(21, true, 0);
    EXPECT_EQ(server.calls, (std::vector<std::string>{"replay", "hold:typed-into", "replay", "hold:1"}))
        << "every key is held until the program's last key has come past";
    ASSERT_EQ(delivered.size(), 1u) << "a retyped press was heard when the user typed it";
    EXPECT_EQ(delivered[0].event.userData, kEventMarker);
    EXPECT_FALSE(delivered[0].asks);
    press(20, true, 0);
    EXPECT_TRUE(delivered.back().asks) << "the record is used up: this press is the user's";

    // The press announcing a retyped one never reaches the application nor the handler.
    ledger.pending = {{248, kRetypeAnnouncementMarker}};
    server.calls.clear();
    press(248, true, 0);
    EXPECT_EQ(server.calls, std::vector<std::string>{"drop"});
    EXPECT_EQ(delivered.size(), 2u);
}

// A press whose key's mapping was given back while it waited would type nothing in the
// application: it is typed again, as its characters, whether the handler lets it pass or no hold
// asks about it. A repeat of a key held down is never taken for the program's press of that key.
TEST_F(KeyTapRulesTest, PressesThatWouldTypeNothingAreTypedAgainAndRepeatsAreNeverOurs) {
    rules.setHolds(KeyHolds{false, {KeyHold::key(20)}}, 0);
    server.calls.clear();
    KeyEvent e;
    e.characters = "\u00E9";
    rules.press(20, e, 0.1, 0, false, true);
    rules.answer(delivered.back().id, false, 0.11);
    ledger.posting = false;  // typed
    rules.tick(0.15);
    rules.press(8, e, 0.2, 0, false, true);  // no hold asks about it
    EXPECT_EQ(ledger.retyped, (std::vector<unsigned>{20, 8}));
    // Every key is held before the keyboard goes on: none overtakes what is typed again.
    EXPECT_EQ(server.calls,
              (std::vector<std::string>{"hold:typed-into", "drop", "hold:1", "hold:typed-into", "drop"}));

    ledger.pending = {{20, kEventMarker}};
    rules.press(20, e, 0.3, 0, true);
    EXPECT_TRUE(delivered.back().asks) << "a repeat is the user's";
    EXPECT_EQ(ledger.pending.size(), 1u);
}

// The press that makes the program type (Return) lets the keyboard go only once every key is held:
// keys typed meanwhile wait, the handler lets them pass, and they are typed again after the text, as
// is a key the handler lets pass after asking for text while it waited. Once the program's keys have
// come past, the handler's own holds are back.
TEST_F(KeyTapRulesTest, KeysTypedWhileTheProgramTypesLandAfterItsText) {
    rules.setHolds(KeyHolds{false, {KeyHold::key(36)}}, 0);
    EXPECT_EQ(server.calls, std::vector<std::string>{"hold:1"});
    press(36, true, 0.01);
    ledger.posting = true;  // the handler asks for text while it decides
    ledger.pending = {{22, kEventMarker}};
    rules.answer(delivered[0].id, true, 0.02);
    EXPECT_EQ(server.calls, (std::vector<std::string>{"hold:1", "hold:typed-into", "drop"}));

    press(40, true, 0.03);  // the user's next key
    rules.answer(delivered[1].id, false, 0.04);
    EXPECT_EQ(ledger.retyped, std::vector<unsigned>{40});
    EXPECT_EQ(server.calls.back(), "drop");

    ledger.posting = false;
    press(22, true, 0.05);  // the program's key comes past: typing is over
    EXPECT_EQ(server.calls,
              (std::vector<std::string>{"hold:1", "hold:typed-into", "drop", "drop", "replay", "hold:1"}));
    EXPECT_EQ(rules.nextDeadline(), std::nullopt);

    ledger.posting = true;  // typing that no held key started (the library's insertion)
    rules.tick(0.06);
    EXPECT_EQ(server.calls.back(), "hold:typed-into");
    rules.setHolds(KeyHolds{true, {}}, 0.07);  // a session that holds every key, in every window
    EXPECT_EQ(server.calls.back(), "hold:all");

    ledger.posting = false;
    press(42, true, 0.08);  // held before the program types
    ledger.posting = true;  // text the handler asked for before it came to the press (at a mark)
    rules.answer(delivered.back().id, false, 0.09);
    EXPECT_EQ(ledger.retyped, (std::vector<unsigned>{40, 42}));
    EXPECT_EQ(server.calls.back(), "drop");
}

// The key completing the instant-open sequence is held only right after the sequence's first
// character (within its bound, and a little more for a handler that times presses late), and asked
// about only then; a held press no hold covers (a key shared with a held character) goes on at
// once. Those pass unasked and are reported afterwards.
TEST_F(KeyTapRulesTest, AKeyHeldOnlyRightAfterAnotherIsHeldAndAskedAboutOnlyThen) {
    const double never = std::numeric_limits<double>::infinity();
    rules.setHolds(KeyHolds{false, {KeyHold::typingRightAfter(";", ";", 0.75, never), KeyHold::key(36)}}, 0);
    EXPECT_EQ(server.calls, std::vector<std::string>{"hold:1"}) << "Return only";
    const struct {
        unsigned keycode;
        bool held;  // as the server holds it
        double at;
        const char* typed;
        bool asks;
        const char* holdsAfter;  // the last hold change so far
    } presses[] = {
        {47, false, 1.0, ";", false, "hold:2"}, {47, true, 1.5, ";", true, "hold:2"},
        {38, false, 3.0, "a", false, "hold:1"}, {47, false, 3.2, ";", false, "hold:2"},
        {47, true, 4.3, ";", false, "hold:2"},  {47, true, 5.2, ":", false, "hold:1"},
        {36, true, 6.0, "\r", true, "hold:1"},
    };
    for (const auto& p : presses) {
        press(p.keycode, p.held, p.at, p.typed);
        ASSERT_FALSE(delivered.empty());
        EXPECT_EQ(delivered.back().asks, p.asks) << p.typed << " at " << p.at;
        EXPECT_EQ(delivered.back().event.held, p.asks) << p.typed << " at " << p.at;
        if (p.asks) rules.answer(delivered.back().id, false, p.at);
        const auto lastHold = std::find_if(server.calls.rbegin(), server.calls.rend(),
                                           [](const std::string& c) { return c.starts_with("hold:"); });
        EXPECT_EQ(*lastHold, p.holdsAfter) << p.typed << " at " << p.at;
    }
    EXPECT_EQ(rules.nextDeadline(), std::nullopt);
}

TEST_F(KeyTapRulesTest, HoldsRunOutAndStopReleasesEverything) {
    KeyHolds holds;
    holds.keys = {KeyHold::key(48), KeyHold::typing(";", 0.75)};
    rules.setHolds(holds, 0);
    EXPECT_EQ(rules.nextDeadline(), 0.75);
    rules.tick(0.5);
    rules.tick(0.75);
    EXPECT_EQ(server.calls, (std::vector<std::string>{"hold:2", "hold:1"}));
    EXPECT_EQ(rules.nextDeadline(), std::nullopt);

    press(48, true, 1);
    rules.stop();
    EXPECT_EQ(server.calls, (std::vector<std::string>{"hold:2", "hold:1", "replay", "hold:none"}));
}

// Winding down in the middle of the program's text (a quit), nobody answers: the press waiting
// for an answer and every later one are typed again after the text, in order, unasked, and the
// keys stay held until the text is over; with no text a waiting press goes on at once.
TEST_F(KeyTapRulesTest, WindingDownKeepsTheKeysTypedDuringATextInOrder) {
    holdEveryKey(rules);
    ledger.posting = true;
    press(53, true, 0);
    rules.windDown(0.01);
    press(29, true, 0.02);
    EXPECT_EQ(ledger.retyped, (std::vector<unsigned>{53, 29}));
    EXPECT_EQ(delivered.size(), 1u);
    EXPECT_EQ(std::count(server.calls.begin(), server.calls.end(), "replay"), 0);

    Ledger quiet;
    KeyTapRules idle{server, quiet.ownKeys(), [](std::uint64_t, const KeyEvent&, bool) {}, 0.1};
    holdEveryKey(idle);
    KeyEvent e;
    e.held = true;
    idle.press(53, e, 0);
    idle.windDown(0.01);
    EXPECT_EQ(server.calls, std::vector<std::string>{"replay"});
}

}  // namespace
}  // namespace mosaiko

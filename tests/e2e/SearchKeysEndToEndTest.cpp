// Keys of an inline search whose effect in the application the picker must know exactly, or else
// its Delete presses erase the wrong text: a key held down until it repeats, Alt and Super with a
// letter, and a switch to another window. Each runs in real clients under a window manager; what
// should arrive is worked out by the program's own picker code (PickerOracle) from the same keys.
#include <signal.h>

#include <chrono>
#include <thread>

#include "e2e/DesktopTest.hpp"

namespace mosaiko::testing {
namespace {

using Kind = TextClient::Kind;

class SearchKeysInClients : public DesktopTest, public ::testing::WithParamInterface<Kind> {
  protected:
    // Under the window manager's stock bindings: several Alt combinations are its own.
    void SetUp() override { startSession(withStockWindowManager()); }

    // The text once it has stopped changing for a moment (a held key repeats until let go).
    std::string settledText(const TextClient& client) {
        std::string last = client.text();
        waitUntil(
            [&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                const std::string now = client.text();
                return std::exchange(last, now) == now;
            },
            10);
        return last;
    }

    // Return in the search, then what the client should hold: `before` (what it held) with the
    // oracle's insertion in place of the characters it erases.
    std::string returnAndExpect(PickerOracle& oracle, const std::string& before) {
        press({"Return"});
        oracle.type("⏎");
        const auto insertions = oracle.takeInsertions();
        if (insertions.empty()) return before;
        auto characters = text::characters(before);
        EXPECT_LE(static_cast<std::size_t>(insertions[0].deleteCount), characters.size());
        characters.resize(characters.size() -
                          std::min<std::size_t>(characters.size(), insertions[0].deleteCount));
        return text::join(characters, "") + insertions[0].text;
    }
};

// A letter held until it repeats goes on counting ("x;cat", s held: every s reaches the field and
// the query), and so does a held BackSpace, which ends the search once the query is empty: Return
// then erases exactly what is left of the search, or nothing.
class RepeatsInClients : public SearchKeysInClients {};

TEST_P(RepeatsInClients, KeysHeldDownRepeatAndEveryRepeatIsCounted) {
    const MemoryDefaults user = RunningProgram::returningUser();
    PickerOracle oracle(user);
    TextClient* client = startProgramAndClient(GetParam(), user);
    if (!client) return;

    type("x;cat");
    oracle.type("x;cat");
    ASSERT_EQ(0, session().xdotool({"keydown", "s", "sleep", "1", "keyup", "s"}));
    std::string before = settledText(*client);
    ASSERT_TRUE(before.starts_with("x;cat")) << described(before);
    const std::size_t repeated = before.size() - 5;
    EXPECT_GE(repeated, 2u) << "the key did not repeat";
    oracle.type(std::string(repeated, 's'));
    oracle.wait(0.4);
    std::string expected = returnAndExpect(oracle, before);
    EXPECT_TRUE(holdsText(*client, expected));

    type(" ;smilexyz");
    oracle.type(" ;smilexyz");
    ASSERT_EQ(0, session().xdotool({"keydown", "BackSpace", "sleep", "0.8", "keyup", "BackSpace"}));
    before = settledText(*client);
    const std::size_t typed = text::characters(expected + " ;smilexyz").size();
    const std::size_t erased = typed - text::characters(before).size();
    EXPECT_GE(erased, 2u) << "BackSpace did not repeat";
    for (std::size_t i = 0; i < erased; ++i) oracle.key(KeyCode::deleteKey, "\x7f");
    oracle.wait(0.4);
    expected = returnAndExpect(oracle, before);
    EXPECT_TRUE(holdsText(*client, expected));
}

// Alt and Super with a letter in a search ("ab;smi", Alt+l, "le"; ";smi", Super+a) are kept from the
// application, whatever it would have typed for them, and the search goes on: Return replaces
// exactly the trigger and the query. So are they sent as one chord, the letter at once after the
// modifier, as tools send them.
TEST_P(SearchKeysInClients, AltAndSuperWithALetterKeepTheSearchAndItsCount) {
    const MemoryDefaults user = RunningProgram::returningUser();
    PickerOracle oracle(user);
    TextClient* client = startProgramAndClient(GetParam(), user);
    if (!client) return;

    // The modifier goes down first, as a user's finger does.
    type("ab;smi");
    ASSERT_EQ(
        0, session().xdotool({"keydown", "alt", "sleep", "0.1", "key", "l", "keyup", "alt", "key", "alt+x"}));
    type("le");
    oracle.type("ab;smi");
    oracle.key(37, "l", ModifierFlag::option);
    oracle.key(7, "x", ModifierFlag::option);
    oracle.type("le");
    oracle.wait(0.4);
    ASSERT_TRUE(program().waitForPanel(true));
    press({"Return"});
    oracle.type("⏎");
    auto inserted = oracle.takeInsertions();
    ASSERT_EQ(inserted.size(), 1u);
    EXPECT_EQ(inserted[0].deleteCount, 6) << "\";smile\"";
    std::string expected = "ab" + inserted[0].text;

    type(" ;smi");
    ASSERT_EQ(0, session().xdotool(
                     {"keydown", "super", "sleep", "0.1", "key", "a", "keyup", "super", "key", "super+a"}));
    oracle.type(" ;smi");
    oracle.key(0, "a", ModifierFlag::command);
    oracle.key(0, "a", ModifierFlag::command);
    oracle.wait(0.4);
    ASSERT_TRUE(program().waitForPanel(true));
    press({"Return"});
    oracle.type("⏎");
    inserted = oracle.takeInsertions();
    ASSERT_EQ(inserted.size(), 1u);
    EXPECT_EQ(inserted[0].deleteCount, 4) << "\";smi\"";
    expected += " " + inserted[0].text;
    expected += client->finishLine();
    EXPECT_TRUE(holdsText(*client, expected));
}

// The terminal shows only finished lines: the text the repeats left cannot be read before Return.
INSTANTIATE_TEST_SUITE_P(SingleLine, RepeatsInClients, ::testing::Values(Kind::gtkEntry, Kind::qtLineEdit),
                         clientName);
INSTANTIATE_TEST_SUITE_P(SingleLine, SearchKeysInClients,
                         ::testing::Values(Kind::gtkEntry, Kind::qtLineEdit, Kind::xterm), clientName);

// ---------------------------------------------------------------- another window

class SwitchingWindows : public DesktopTest {
  protected:
    // Alt+Tab as the window manager's stock bindings have it.
    void SetUp() override { startSession(withStockWindowManager()); }

    void clickInto(const TextClient& client) {
        const auto window = session().findWindow([&](const auto& w) { return w.id == client.window(); });
        ASSERT_TRUE(window.has_value());
        click(window->x + window->width / 2, window->y + window->height / 2);
    }
};

// A search in one window, then another becomes active (a click into it, Alt+Tab): the panel goes,
// and Return there neither erases nor types anything; the search's text stays where it was typed.
TEST_F(SwitchingWindows, ASearchEndsSilentlyWhenAnotherWindowBecomesActive) {
    startProgram();
    TextClient* searched = startClient(Kind::gtkEntry);
    TextClient* other = startClient(Kind::qtLineEdit);
    if (!searched || !other || HasFailure()) return;
    type("keep this");
    ASSERT_TRUE(holdsText(*other, "keep this"));

    std::string typed;
    for (const bool byClick : {true, false}) {
        SCOPED_TRACE(byClick ? "a click" : "Alt+Tab");
        ASSERT_TRUE(searched->focus());
        typed += " ;smi";
        type(" ;smi");
        ASSERT_TRUE(program().waitForPanel(true));
        if (byClick) {
            clickInto(*other);
        } else {
            press({"alt+Tab"});
        }
        ASSERT_TRUE(waitUntil([&] { return session().hasFocus(other->window()); }));
        EXPECT_TRUE(program().waitForPanel(false)) << "the panel stayed";
        press({"Return"});
        type("!");
        EXPECT_TRUE(holdsText(*other, "keep this!"));
        press({"BackSpace"});
        EXPECT_TRUE(holdsText(*other, "keep this"));
        EXPECT_EQ(searched->text(), typed);
    }
}

// The program stalls (stopped) in an instant-open search while the user types on, clicks another
// window and types there: what was typed for the search never reaches that window, what was typed
// after the click does.
TEST_F(SwitchingWindows, AnInstantOpenSearchsKeysStayOutOfAWindowActivatedAfterThem) {
    startProgram();
    TextClient* searched = startClient(Kind::gtkEntry);
    TextClient* other = startClient(Kind::qtLineEdit);
    if (!searched || !other || HasFailure()) return;
    ASSERT_TRUE(searched->focus());
    type(";;");
    ASSERT_TRUE(program().waitForPanel(true));
    type("t");
    ASSERT_TRUE(suspendProcess(program().pid()));
    type("ree");
    clickInto(*other);
    ASSERT_TRUE(waitUntil([&] { return session().hasFocus(other->window()); }));
    type(" ok");
    program().process().signal(SIGCONT);
    EXPECT_TRUE(holdsText(*other, " ok"));
    EXPECT_TRUE(program().waitForPanel(false));
    EXPECT_EQ(searched->text(), "");
}

}  // namespace
}  // namespace mosaiko::testing

// The picker at work in other applications: the built program under a virtual X server, a user's
// keystrokes from xdotool, and real clients (a terminal, GTK and Qt text fields) whose text is read
// back. What the picker should insert is worked out by the program's own picker code over its data
// file (PickerOracle), from the same keys.
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/wait.h>

#include <chrono>
#include <regex>
#include <set>
#include <thread>
#include <tuple>

#include "content/CustomContentStore.hpp"
#include "content/EmojiUsageStore.hpp"
#include "e2e/DesktopTest.hpp"
#include "platform/Base64.hpp"
#include "platform/Json.hpp"
#include "platform/linux/FileAppendLog.hpp"

#include <X11/XKBlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace mosaiko::testing {
namespace {

using Kind = TextClient::Kind;

// A client on a desktop whose window manager runs with its stock key bindings, or with none.
using OnDesktop = std::tuple<bool, Kind>;

std::string desktopAndKindName(const ::testing::TestParamInfo<OnDesktop>& info) {
    return (std::get<0>(info.param) ? "StockBindings" : "NoBindings") +
           TextClient::kindName(std::get<1>(info.param));
}

const auto kDesktopsAndSingleLineClients = ::testing::Combine(
    ::testing::Values(false, true), ::testing::Values(Kind::xterm, Kind::gtkEntry, Kind::qtLineEdit));

// The usage counts the defaults file holds now, read straight from the file; empty while there is
// no file or no counts.
std::map<std::string, std::int64_t> storedUsageCounts(const fs::path& file) {
    std::map<std::string, std::int64_t> counts;
    const auto document = json::parse(readFile(file));
    const auto data =
        document
            ? document->value(nlohmann::json::json_pointer("/values/emojiUsageCounts/$data"), std::string())
            : std::string();
    const auto bytes = base64::decode(data);
    if (!bytes) return counts;
    const auto stored = json::parse(*bytes);
    if (!stored || !stored->is_object()) return counts;
    for (const auto& [text, count] : stored->items()) {
        if (count.is_number_integer()) counts[text] = count.get<std::int64_t>();
    }
    return counts;
}

// The distinct skin-tone modifiers in a text.
std::set<char32_t> skinTones(const std::string& text) {
    std::set<char32_t> tones;
    for (char32_t c : text::scalars(text)) {
        if (c >= 0x1F3FB && c <= 0x1F3FF) tones.insert(c);
    }
    return tones;
}

// A client on either desktop.
class OnDesktops : public DesktopTest, public ::testing::WithParamInterface<OnDesktop> {
  protected:
    void SetUp() override {
        startSession(std::get<0>(GetParam()) ? withStockWindowManager() : withWindowManager());
    }
};

// A client under a window manager.
class InClients : public DesktopTest, public ::testing::WithParamInterface<Kind> {
  protected:
    void SetUp() override { startSession(); }
};

const auto kSingleLineClients = ::testing::Values(Kind::xterm, Kind::gtkEntry, Kind::qtLineEdit);

// ---------------------------------------------------------------- searching and inserting

class InsertingIntoClients : public OnDesktops {};

// Four sessions into one field: ";smi" and Return replace what was typed by the first result,
// and what the user types on at once comes after it; Escape leaves the typed text alone; ";;"
// opens a session whose query never reaches the field, and Return inserts there; Command-Delete
// (Super-BackSpace) erases the query typed so far, also while Super is still held.
TEST_P(InsertingIntoClients, SearchInsertsEscapeKeepsTheTextQuickOpenKeepsTheQueryToItself) {
    const MemoryDefaults user = RunningProgram::returningUser();
    PickerOracle oracle(user);
    TextClient* client = startProgramAndClient(std::get<1>(GetParam()), user);
    if (!client) return;
    std::string expected;
    auto finishLine = [&] {
        const std::string newline = client->finishLine();
        if (!newline.empty()) oracle.type("⏎");
        expected += newline;
    };

    // Inline search.
    ASSERT_TRUE(typeSearch(oracle, "Hi ;smi")) << "no panel after \";smi\"";
    ASSERT_EQ(0, session().xdotool({"key", "Return", "type", "--delay", "0", " ok"}));
    oracle.type("⏎ ok");
    const auto firstInsertions = oracle.takeInsertions();
    ASSERT_EQ(firstInsertions.size(), 1u);
    EXPECT_EQ(firstInsertions[0].deleteCount, 4);
    const std::string first = firstInsertions[0].text;
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(program().waitForPanel(false));
    expected += "Hi " + first + " ok";
    finishLine();
    EXPECT_TRUE(holdsText(*client, expected));

    // Escape.
    ASSERT_TRUE(typeSearch(oracle, " no ;smi"));
    press({"Escape"});
    oracle.type("⎋");
    EXPECT_TRUE(oracle.takeInsertions().empty());
    EXPECT_TRUE(program().waitForPanel(false));
    expected += " no ;smi";
    finishLine();
    EXPECT_TRUE(holdsText(*client, expected));

    // Instant open: the first ";" is erased, the second and the query never reach the field. A
    // second ";" the key tap saw too late to keep (a busy machine) reaches it and is erased too.
    const std::string before = expected;
    type(" go ;;");
    oracle.type(" go ;;");
    ASSERT_TRUE(program().waitForPanel(true)) << "no panel after \";;\"";
    type("smi");
    press({"Return"});
    oracle.type("smi⏎");
    const auto insertions = oracle.takeInsertions();
    ASSERT_EQ(insertions.size(), 2u);  // one Delete for the first ";", then the result
    const std::string quick = insertions[1].text;
    EXPECT_EQ(insertions[1].deleteCount, 0);
    EXPECT_TRUE(program().waitForPanel(false));
    expected += " go " + quick;
    finishLine();
    EXPECT_TRUE(holdsText(*client, expected));
    for (const auto& state : client->history()) {
        if (!state.starts_with(before + " go ")) continue;
        const std::string rest = state.substr(before.size() + 4);
        EXPECT_TRUE(rest.empty() || rest == ";" || rest == ";;" || rest.starts_with(quick))
            << "the field held " << described(state);
    }

    // Command-Delete, then a new query.
    type(" ;abc");
    oracle.type(" ;abc");
    ASSERT_EQ(0, session().xdotool({"keydown", "super", "keydown", "BackSpace", "sleep", "0.1", "keyup",
                                    "BackSpace", "keyup", "super", "type", "smi"}));
    oracle.commandDelete();
    oracle.type("smi");
    oracle.wait(0.4);
    ASSERT_TRUE(program().waitForPanel(true));
    press({"Return"});
    oracle.type("⏎");
    const auto afterErasing = oracle.takeInsertions();
    ASSERT_EQ(afterErasing.size(), 2u);  // three Delete presses for "abc", then the result
    EXPECT_EQ(afterErasing[0].deleteCount, 3);
    EXPECT_EQ(afterErasing[1].deleteCount, 4);
    expected += " " + afterErasing[1].text;
    finishLine();
    EXPECT_TRUE(holdsText(*client, expected));
}

INSTANTIATE_TEST_SUITE_P(SingleLine, InsertingIntoClients, kDesktopsAndSingleLineClients, desktopAndKindName);

// ---------------------------------------------------------------- a desktop's own key bindings

class DesktopKeyBindings : public OnDesktops {};

// The window manager's bindings (Control-Alt-Left, Alt-space, Super-e…) cost the picker only those
// combinations: plain Left steers a shown panel, every key of an instant-open search stays with the
// panel, and keys typed at once after Return land after the insertion.
TEST_P(DesktopKeyBindings, CostThePickerOnlyTheirOwnCombinations) {
    const MemoryDefaults user = RunningProgram::returningUser();
    PickerOracle oracle(user);
    TextClient* client = startProgramAndClient(std::get<1>(GetParam()), user);
    if (!client) return;

    ASSERT_TRUE(typeSearch(oracle, "ab;smi"));
    press({"Left", "Return"});
    oracle.type("←⏎");
    std::string expected = "ab" + oracle.takeInsertedText();
    EXPECT_TRUE(program().waitForPanel(false));

    type(" x;;");
    oracle.type(" x;;");
    ASSERT_TRUE(program().waitForPanel(true));
    type("tea");
    press({"Return"});
    oracle.type("tea⏎");
    const auto quick = oracle.takeInsertions();
    ASSERT_EQ(quick.size(), 2u);
    expected += " x" + quick[1].text;
    EXPECT_TRUE(program().waitForPanel(false));

    ASSERT_TRUE(typeSearch(oracle, " ;smi"));
    ASSERT_EQ(0, session().xdotool({"key", "--delay", "0", "Return", "space", "e", "x"}));
    oracle.type("⏎ ex");
    expected += " " + oracle.takeInsertedText() + " ex";
    expected += client->finishLine();
    EXPECT_TRUE(holdsText(*client, expected));
}

// Shift held with Return, which keeps the panel open, changes nothing of the text, whenever it is let
// go: the text's characters do not count on it.
TEST_P(DesktopKeyBindings, ShiftWithReturnLeavesTheTextAsItIs) {
    const MemoryDefaults user = RunningProgram::returningUser();
    PickerOracle oracle(user);
    TextClient* client = startProgramAndClient(std::get<1>(GetParam()), user);
    if (!client) return;
    ASSERT_TRUE(typeSearch(oracle, "a;party"));
    ASSERT_EQ(0, session().xdotool({"keydown", "shift", "key", "Return", "keyup", "shift"}));
    oracle.key(KeyCode::returnKey, "\r", ModifierFlag::shift);
    press({"Escape"});
    oracle.type("⎋");
    const std::string expected = "a" + oracle.takeInsertedText() + client->finishLine();
    EXPECT_TRUE(holdsText(*client, expected));
}

// Another tool typing the moment Return inserts (xdotool maps a key of its own for "éü" and gives it
// back at once) gets its characters through, after the insertion. The client is stopped meanwhile, so
// that the tool's keys surely come while the text waits for it: once the text is over they meet the
// tool's own race with a client that looks its key up after the tool has given it back (a Qt field
// loses some of them without this program too).
TEST_P(DesktopKeyBindings, AToolTypingRightAfterReturnGetsItsCharactersThrough) {
    const MemoryDefaults user = RunningProgram::returningUser();
    PickerOracle oracle(user);
    TextClient* client = startProgramAndClient(std::get<1>(GetParam()), user);
    if (!client) return;
    ASSERT_TRUE(typeSearch(oracle, ";smi"));
    ASSERT_TRUE(suspendProcess(client->pid()));
    ASSERT_EQ(0, session().xdotool({"key", "Return", "type", "éü"}));
    ::kill(client->pid(), SIGCONT);
    oracle.type("⏎");
    const std::string expected = oracle.takeInsertedText() + "éü" + client->finishLine();
    EXPECT_TRUE(holdsText(*client, expected));
}

INSTANTIATE_TEST_SUITE_P(SingleLine, DesktopKeyBindings, kDesktopsAndSingleLineClients, desktopAndKindName);

// ---------------------------------------------------------------- keys typed during an insertion

class KeysTypedDuringAnInsertion : public InClients {};

// Keys typed the moment Return inserts land after the text as they were typed: each with the
// modifiers held for it (Shift-a Shift-b as "AB", a keypad digit), in order, none lost; a Control
// held across Return makes the next key a shortcut (Control-a selects the field's text, which "z"
// then replaces; the terminal receives the control character), not text.
TEST_P(KeysTypedDuringAnInsertion, LandAfterTheTextWithTheirModifiers) {
    const MemoryDefaults user = RunningProgram::returningUser();
    PickerOracle oracle(user);
    TextClient* client = startProgramAndClient(GetParam(), user);
    if (!client) return;

    ASSERT_TRUE(typeSearch(oracle, ";smi"));
    // The terminal reads a keypad digit typed again as the keypad's navigation key: left out there.
    const bool keypad = GetParam() != Kind::xterm;
    ASSERT_EQ(0, session().xdotool(
                     {"key", "--delay", "0", "Return", "shift+a", "shift+b", keypad ? "KP_1" : "1", "c"}));
    oracle.type("⏎");
    std::string expected = oracle.takeInsertedText() + "AB1c";
    EXPECT_TRUE(program().waitForPanel(false));

    ASSERT_TRUE(typeSearch(oracle, " ;smi"));
    ASSERT_EQ(0, session().xdotool({"keydown", "ctrl", "key", "--delay", "0", "Return", "a", "keyup", "ctrl",
                                    "type", "z"}));
    oracle.type("⏎");
    const std::string second = oracle.takeInsertedText();
    ASSERT_FALSE(second.empty());
    expected = GetParam() == Kind::xterm ? expected + " " + second + "\x01z" : "z";
    expected += client->finishLine();
    EXPECT_TRUE(holdsText(*client, expected)) << program().output();
}

INSTANTIATE_TEST_SUITE_P(SingleLine, KeysTypedDuringAnInsertion, kSingleLineClients, clientName);

// Keys typed while a long text is still being typed come after the whole text, as typed, though a
// press of the program's that reaches the server while the user holds its key is lost there, and
// one that comes while the user holds Shift would type a capital. They are typed on the server's own
// keyboard device, as on a keyboard: a tool typing through the virtual device the program types
// through too could not be told from it key for key.
class KeysTypedDuringALongInsertion : public InClients {
  protected:
    // Starts the program with a snippet of `characters` characters of Latin prose, and a client;
    // nullptr when the client cannot run here.
    TextClient* startWithLongSnippet(std::string& snippet, std::size_t characters) {
        snippet = "Lorem";
        while (snippet.size() < characters)
            snippet += " ipsum dolor sit amet, quis nostrud: Ut enim (ad) minim veniam, ok? Lorem";
        MemoryDefaults user = RunningProgram::returningUser();
        CustomContentStore(user).addSnippet("Lorem", snippet, {"longsnip"}, {});
        return startProgramAndClient(GetParam(), user);
    }

    // Chooses the snippet; the keys typed next come while it is typed.
    void chooseLongSnippet() {
        type(";longsnip");
        ASSERT_TRUE(program().waitForPanel(true)) << program().output();
        ASSERT_EQ(0, session().xdotool({"key", "Return"}));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
};

TEST_P(KeysTypedDuringALongInsertion, InTheMiddleOfALongTextComeAfterIt) {
    std::string snippet;
    TextClient* client = startWithLongSnippet(snippet, 1500);
    if (!client) return;
    ASSERT_NO_FATAL_FAILURE(chooseLongSnippet());
    const std::string keys = " Ok, ADD (No) ok";
    ASSERT_NO_FATAL_FAILURE(typeOnKeyboard(keys, 60));
    const std::string expected = snippet + keys + client->finishLine();
    EXPECT_TRUE(holdsText(*client, expected, 30));
}

// Editing, caret and function keys and a Control shortcut typed during the text act after it as
// they do without the program: in a terminal they arrive as the terminal's own sequences (read off
// the same keys typed first), in a field they select, move and delete; never as characters.
TEST_P(KeysTypedDuringALongInsertion, EditingKeysInTheMiddleOfALongTextActAfterIt) {
    const std::vector<std::string> keys = {"ctrl+a", "Home", "x", "Right", "Delete",
                                           "End",    "Left", "y", "F5"};
    std::string snippet, alone;
    TextClient* client = startWithLongSnippet(snippet, 3000);
    if (!client) return;
    if (GetParam() == Kind::xterm) {
        ASSERT_NO_FATAL_FAILURE(pressOnKeyboard(keys, 20));
        client->finishLine();
        ASSERT_TRUE(waitUntil([&] { return !client->text().empty(); }));
        alone = client->text();
    }
    ASSERT_NO_FATAL_FAILURE(chooseLongSnippet());
    ASSERT_NO_FATAL_FAILURE(pressOnKeyboard(keys, 60));
    const std::string expected = GetParam() == Kind::xterm
                                     ? alone + snippet + alone
                                     : "xL" + snippet.substr(2, snippet.size() - 3) + "y" + snippet.back();
    if (GetParam() == Kind::xterm) client->finishLine();
    // A GTK field beside busy loops takes well over 30 s for the 3,000 characters.
    EXPECT_TRUE(holdsText(*client, expected, 90));
}

INSTANTIATE_TEST_SUITE_P(SingleLine, KeysTypedDuringALongInsertion,
                         ::testing::Values(Kind::xterm, Kind::gtkEntry, Kind::gtkTextView, Kind::qtLineEdit),
                         clientName);

// ---------------------------------------------------------------- a client that reads its keys late

class StoppedClients : public InClients {};

// A client stopped (SIGSTOP) as Return goes out, with keys typed at once after it, reads the
// insertion and the keys whole once it goes on, five seconds later.
TEST_P(StoppedClients, ReadTheInsertionAndTheKeysAfterItWhenTheyGoOn) {
    const MemoryDefaults user = RunningProgram::returningUser();
    PickerOracle oracle(user);
    TextClient* client = startProgramAndClient(GetParam(), user);
    if (!client) return;
    ASSERT_TRUE(typeSearch(oracle, "Hi ;smi"));
    ASSERT_TRUE(suspendProcess(client->pid()));
    ASSERT_EQ(0, session().xdotool({"key", "Return", "type", "--delay", "0", " ok"}));
    oracle.type("⏎ ok");
    EXPECT_TRUE(program().waitForPanel(false));
    waitFor(5);
    ::kill(client->pid(), SIGCONT);
    const std::string expected = "Hi " + oracle.takeInsertedText() + " ok" + client->finishLine();
    EXPECT_TRUE(holdsText(*client, expected));
}

INSTANTIATE_TEST_SUITE_P(SingleLine, StoppedClients, kSingleLineClients, clientName);

// ---------------------------------------------------------------- a client that erases late

class ErasingLate : public InClients {};

// A client that works through the BackSpaces erasing a search after keys that come behind them (as
// Writer with its GTK 3 backend does; this one takes 40 ms a BackSpace) gets the text once it has
// applied them, and the keys typed right after Return after the text.
TEST_P(ErasingLate, GetsTheTextOnceItHasErasedTheSearch) {
    const MemoryDefaults user = RunningProgram::returningUser();
    PickerOracle oracle(user);
    TextClient* client = startProgramAndClient(GetParam(), user);
    if (!client) return;
    for (const char* search : {"Hi ;smi", " ;party"}) {
        ASSERT_TRUE(typeSearch(oracle, search));
        ASSERT_EQ(0, session().xdotool({"key", "Return", "type", "--delay", "0", " ok"}));
        oracle.type("⏎ ok");
        EXPECT_TRUE(program().waitForPanel(false));
    }
    const auto insertions = oracle.takeInsertions();
    ASSERT_EQ(insertions.size(), 2u);
    EXPECT_TRUE(holdsText(*client, "Hi " + insertions[0].text + " ok " + insertions[1].text + " ok"));
}

INSTANTIATE_TEST_SUITE_P(SingleLine, ErasingLate, ::testing::Values(Kind::qtErasingLate), clientName);

// ---------------------------------------------------------------- keys on remapped keycodes

class RemappedKeysInClients : public InClients {};

// A character that another tool types on a spare keycode it maps for the moment (as auto-type tools
// do) is held like any other key: an instant-open search keeps it to itself, and typed the moment
// Return inserts, it lands after the insertion, which erases exactly the typed query.
TEST_P(RemappedKeysInClients, AreHeldLikeAnyOtherKey) {
    TextClient* client = startProgramAndClient(GetParam());
    if (!client) return;
    type("x;;");
    ASSERT_TRUE(program().waitForPanel(true));
    type("é");
    press({"Escape"});
    EXPECT_TRUE(program().waitForPanel(false));

    const MemoryDefaults user = RunningProgram::returningUser();
    PickerOracle oracle(user);
    ASSERT_TRUE(typeSearch(oracle, " ;smi"));
    // At an auto-type tool's pace: the key it maps lasts a few dozen milliseconds (with none, it is
    // given back before applications read it, with the program or without).
    ASSERT_EQ(0, session().xdotool({"key", "--delay", "0", "Return", "type", "--delay", "50", "é"}));
    oracle.type("⏎");
    const std::string expected = "x " + oracle.takeInsertedText() + "é" + client->finishLine();
    EXPECT_TRUE(holdsText(*client, expected));
}

INSTANTIATE_TEST_SUITE_P(SingleLine, RemappedKeysInClients, kSingleLineClients, clientName);

// ---------------------------------------------------------------- typing with no gap at all

class TypingWithNoGap : public InClients {};

// The Delete presses the display has handled, counted from its raw key events.
class DeletePresses {
  public:
    explicit DeletePresses(const std::string& display) : d_(XOpenDisplay(display.c_str())) {
        int event = 0, error = 0, major = 2, minor = 2;
        if (!d_ || !XQueryExtension(d_, "XInputExtension", &opcode_, &event, &error) ||
            XIQueryVersion(d_, &major, &minor) != Success)
            return;
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_RawKeyPress);
        XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
        XISelectEvents(d_, DefaultRootWindow(d_), &mask, 1);
        XSync(d_, False);
        keycode_ = XKeysymToKeycode(d_, XK_BackSpace);
    }
    ~DeletePresses() {
        if (d_) XCloseDisplay(d_);
    }
    int count() {
        while (d_ && XPending(d_) > 0) {
            XEvent event;
            XNextEvent(d_, &event);
            if (event.xcookie.type != GenericEvent || event.xcookie.extension != opcode_ ||
                !XGetEventData(d_, &event.xcookie))
                continue;
            count_ += static_cast<const XIRawEvent*>(event.xcookie.data)->detail == keycode_;
            XFreeEventData(d_, &event.xcookie);
        }
        return count_;
    }

  private:
    Display* d_;
    int opcode_ = -1;
    int keycode_ = 0;
    int count_ = 0;
};

// A tool typing with no gap at all, a few times: each ";;" opens a search, which the space after it
// ends, so the pair and the space are gone and the rest stays, also where both characters of the
// pair reached the field before the key tap could hold the second. The keys after it keep their
// order, though they come while the search's Delete presses are typed, and some of them are typed
// again after those. A terminal's line is finished with Return once the program has erased
// something (the tool types no Delete): a Return that came before would have sent the pair on with
// the line. The next round starts once the last is in: the tool types through the same virtual
// keyboard as the program, which could not tell the same keys typed meanwhile from its own.
TEST_P(TypingWithNoGap, KeepsTheOrderAroundTheInstantOpenSequence) {
    TextClient* client = startProgramAndClient(GetParam());
    if (!client) return;
    DeletePresses deletes(session().display());
    std::string expected;
    for (int round = 1; round <= 6; ++round) {
        const int before = deletes.count();
        type("world;; tea kettle,", 0);
        ASSERT_TRUE(waitUntil([&] { return deletes.count() > before; }))
            << "round " << round << " erased nothing";
        expected += "worldtea kettle," + client->finishLine();
        ASSERT_TRUE(holdsText(*client, expected)) << "round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(SingleLine, TypingWithNoGap, ::testing::Values(Kind::xterm, Kind::qtLineEdit),
                         clientName);

// ---------------------------------------------------------------- a second layout

class TypingWithTwoLayouts : public InClients {};

// A typing tool that switches to the layout group that has a character, types it and switches back
// (as auto-type tools do) gets its text through unchanged: the trigger is not held back until the
// group has changed again.
TEST_P(TypingWithTwoLayouts, AToolSwitchingGroupsTypesThroughThePickerUnchanged) {
    if (session().run({"setxkbmap", "-layout", "us,ru"}) != 0) GTEST_SKIP() << "setxkbmap is needed";
    TextClient* client = startProgramAndClient(GetParam());
    if (!client) return;
    type("ab;cd x;y", 20);
    const std::string expected = "ab;cd x;y" + client->finishLine();
    EXPECT_TRUE(holdsText(*client, expected));
}

// A ";" such a tool types the moment Return inserts, while the keyboard waits for the program,
// lands after the insertion as typed, though the tool switched the group back before the server
// got round to the key.
TEST_P(TypingWithTwoLayouts, ACharacterTypedAsReturnInsertsKeepsItsGroup) {
    if (session().run({"setxkbmap", "-layout", "us,ru"}) != 0) GTEST_SKIP() << "setxkbmap is needed";
    const MemoryDefaults user = RunningProgram::returningUser();
    PickerOracle oracle(user);
    TextClient* client = startProgramAndClient(GetParam(), user);
    if (!client) return;
    ASSERT_TRUE(typeSearch(oracle, "Hi ;smi"));
    ASSERT_EQ(0, session().xdotool({"key", "Return", "type", "--delay", "0", ";x"}));
    oracle.type("⏎");
    const std::string expected = "Hi " + oracle.takeInsertedText() + ";x" + client->finishLine();
    EXPECT_TRUE(holdsText(*client, expected));
}

INSTANTIATE_TEST_SUITE_P(SingleLine, TypingWithTwoLayouts, kSingleLineClients, clientName);

// ---------------------------------------------------------------- dead keys

class DeadKeysInClients : public InClients {};

// A dead key pressed twice types its accent, which no query holds: the search ends there and
// Return reaches the application, leaving the typed text as it is.
TEST_P(DeadKeysInClients, ADeadKeyPressedTwiceEndsTheSearchWithItsAccent) {
    if (session().run({"setxkbmap", "-layout", "us", "-variant", "intl"}) != 0)
        GTEST_SKIP() << "setxkbmap is needed";
    TextClient* client = startProgramAndClient(GetParam());
    if (!client) return;
    type("ab;smi");
    ASSERT_TRUE(program().waitForPanel(true));
    press({"dead_acute", "dead_acute"});
    EXPECT_TRUE(program().waitForPanel(false));
    const std::string expected = "ab;smi\u00B4" + client->finishLine();
    EXPECT_TRUE(holdsText(*client, expected));
}

INSTANTIATE_TEST_SUITE_P(SingleLine, DeadKeysInClients, kSingleLineClients, clientName);

// ---------------------------------------------------------------- editing keys

class EditingKeysInClients : public InClients {};

// Control-BackSpace erases a word of the query as the field does, so Return then erases exactly what
// is left of it; Home and F5 move the caret or act without text, so the search ends there and
// Return erases nothing.
TEST_P(EditingKeysInClients, WordDeletionAndCaretKeysLeaveTheFieldAsTheUserExpects) {
    const MemoryDefaults user = RunningProgram::returningUser();
    PickerOracle oracle(user);
    TextClient* client = startProgramAndClient(GetParam(), user);
    if (!client) return;

    type(";smi xyz");
    press({"ctrl+BackSpace"});
    oracle.type(";smi xyz");
    oracle.key(KeyCode::deleteKey, "\b", ModifierFlag::control);
    oracle.wait(0.4);
    ASSERT_TRUE(program().waitForPanel(true));
    press({"Return"});
    oracle.type("⏎");
    const auto inserted = oracle.takeInsertions();
    ASSERT_EQ(inserted.size(), 1u);
    EXPECT_EQ(inserted[0].deleteCount, 5) << "\";smi \" is what is left";
    std::string expected = inserted[0].text;
    EXPECT_TRUE(holdsText(*client, expected));

    type(" ;smi");
    press({"Home"});
    type("A");
    press({"End", "Return"});
    type(" ;smi");
    press({"F5", "Return"});
    oracle.type(" ;smi");
    oracle.key(115, "\uF729");
    oracle.type("A");
    oracle.key(119, "\uF72B");
    oracle.type("⏎ ;smi");
    oracle.key(96, "\uF708");
    oracle.type("⏎");
    EXPECT_TRUE(oracle.takeInsertions().empty());
    expected = "A" + expected + " ;smi ;smi";
    EXPECT_TRUE(holdsText(*client, expected));
    EXPECT_FALSE(program().panel().has_value());
}

INSTANTIATE_TEST_SUITE_P(SingleLine, EditingKeysInClients,
                         ::testing::Values(Kind::gtkEntry, Kind::qtLineEdit), clientName);

// ---------------------------------------------------------------- long texts, and what is kept

class LongTextsIntoClients : public InClients {};

// A two-person emoji with two different skin tones, chosen with the variant keys in the mixed-tone
// matrix, and a snippet of two lines arrive whole: its line break too, while the user still holds
// the Return that chose it, and what the user types on at once comes after the whole snippet, which
// has more distinct characters than there are spare keys to type them on. Usage reaches the
// defaults file while the program runs, and a SIGTERM right after an insertion leaves a complete,
// readable file.
TEST_P(LongTextsIntoClients, MixedTonesAndMultiLineSnippetsArriveWholeAndUsageIsKept) {
    MemoryDefaults user = RunningProgram::returningUser();
    const std::string snippet =
        "Best wishes from Zürich & Kraków —\nÅsa, Øystein, Jürgen; ☕🍰✨ at 12:30 (quiet ½ hour)";
    CustomContentStore(user).addSnippet("Signature", snippet, {"sigblock"}, {"signature"});
    PickerOracle oracle(user);
    TextClient* client = startProgramAndClient(GetParam(), user);
    if (!client) return;
    const fs::path defaults = RunningProgram::defaultsFile(session());

    // Up to the variants, Left to the mix button, Return opens the matrix, Right moves the second
    // person's tone, Return inserts.
    ASSERT_TRUE(typeSearch(oracle, ";handshake"));
    press({"Up", "Left", "Return", "Right", "Return"});
    oracle.type("↑←⏎→⏎");
    const auto mixed = oracle.takeInsertions();
    ASSERT_EQ(mixed.size(), 1u);
    const std::string couple = mixed[0].text;
    EXPECT_EQ(mixed[0].deleteCount, 10);
    ASSERT_EQ(skinTones(couple).size(), 2u) << described(couple) << " is not a two-tone emoji";
    EXPECT_TRUE(program().waitForPanel(false));

    // Usage is saved while the program runs.
    EXPECT_TRUE(waitUntil([&] { return storedUsageCounts(defaults)[couple] == 1; })) << readFile(defaults);

    ASSERT_TRUE(typeSearch(oracle, " ;sigblock"));
    ASSERT_EQ(0, session().xdotool({"keydown", "Return", "sleep", "0.15", "keyup", "Return", "type", " ok"}));
    oracle.type("⏎");
    ASSERT_EQ(oracle.takeInsertedText(), snippet) << "the search does not rank the snippet first";
    oracle.type(" ok");
    EXPECT_TRUE(program().waitForPanel(false));
    std::string expected = couple + " " + snippet + " ok";
    expected += client->finishLine();
    EXPECT_TRUE(holdsText(*client, expected));

    // Quit right after the last insertion: what is still to be saved is saved on the way out.
    program().process().signal(SIGTERM);
    ASSERT_EQ(program().process().waitForExit(10), 0) << program().output();
    for (const auto& entry : fs::directory_iterator(defaults.parent_path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "defaults.json" || name == "defaults.json.lock" ||
                    name == "usage-history.jsonl" ||
                    entry.path() == RunningProgram::registryFolder(session()))
            << "left behind: " << name;
    }
    EXPECT_TRUE(fs::is_empty(RunningProgram::registryFolder(session())))
        << "the registry entry and lock stay";
    FileDefaults stored(defaults);
    EXPECT_FALSE(stored.movedAsideFile().has_value()) << "the file could not be read back";
    EXPECT_TRUE(stored.boolValue("hasCompletedOnboarding"));
    ManualMainLoop clock;
    FileAppendLog historyLog(defaults.parent_path() / "usage-history.jsonl");
    const EmojiUsageStore usage(stored, clock, {}, &historyLog);
    EXPECT_EQ(usage.counts().size(), 2u);
    EXPECT_EQ(usage.history().size(), 2u);
    EXPECT_EQ(usage.counts().count(couple), 1u);
    EXPECT_EQ(usage.counts().count(snippet), 1u);
    const CustomContentStore snippets(stored);
    ASSERT_EQ(snippets.snippets().size(), 1u);
    EXPECT_EQ(snippets.snippets()[0].insertText, snippet);
}

INSTANTIATE_TEST_SUITE_P(MultiLine, LongTextsIntoClients,
                         ::testing::Values(Kind::xterm, Kind::gtkTextView, Kind::qtTextEdit), clientName);

// ---------------------------------------------------------------- ordinary typing

class OrdinaryTyping : public DesktopTest {
  protected:
    void SetUp() override {
        marker_ = fs::temp_directory_path() / ("mosaiko-shortcut-" + std::to_string(::getpid()));
        fs::remove(marker_);
        auto options = withWindowManager();
        options.windowManagerKeyBindings = "<keybind key=\"C-A-m\"><action name=\"Execute\"><command>touch " +
                                           marker_.string() + "</command></action></keybind>";
        startSession(options);
    }
    void TearDown() override { fs::remove(marker_); }

    fs::path marker_;
};

// With the picker running, a terminal receives exactly what is typed: capitals and punctuation
// typed as fast as xdotool can, a held key repeating, a control key the terminal acts on. Other
// clients can still take key combinations the picker does not use, and the window manager can take
// its shortcuts anew when it reloads its configuration.
TEST_F(OrdinaryTyping, ReachesTheApplicationUnchanged) {
    TextClient* client = startProgramAndClient(Kind::xterm);
    if (!client) return;
    Display* d = session().connection();
    const auto keycode = [&](KeySym keysym) { return static_cast<unsigned>(XKeysymToKeycode(d, keysym)); };
    EXPECT_FALSE(session().keyIsGrabbedElsewhere(keycode(XK_t), ControlMask | Mod1Mask));
    ASSERT_EQ(session().run({"openbox", "--reconfigure"}), 0);

    const std::string sentence = "The Quick Brown Fox; jumps: over (the) LAZY dog? 12+3=15, a;b ~!@#$%^&*_|";
    type(sentence, 0);
    press({"Return"});
    type(std::string(40, 'z'), 1);
    press({"Return"});
    std::string expected = sentence + "\n" + std::string(40, 'z') + "\n";
    EXPECT_TRUE(holdsText(*client, expected));

    // Held down, a key repeats until it is let go.
    ASSERT_EQ(0, session().xdotool({"keydown", "q"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // holding the key
    ASSERT_EQ(0, session().xdotool({"keyup", "q"}));
    press({"Return"});
    const auto heldKey = [&] {
        const std::string typed = client->text();
        if (!typed.starts_with(expected) || !typed.ends_with("\n")) return std::string();
        return typed.substr(expected.size(), typed.size() - expected.size() - 1);
    };
    EXPECT_TRUE(waitUntil([&] { return std::regex_match(heldKey(), std::regex("q{3,}")); }))
        << described(client->text());
    expected = client->text();

    type("junk");
    press({"ctrl+u"});  // the terminal's line kill
    type("kept");
    EXPECT_TRUE(waitUntil([&] {
        return session().keyIsGrabbedElsewhere(keycode(XK_m), ControlMask | Mod1Mask);
    })) << "the window manager could not take its shortcut anew";
    press({"ctrl+alt+m", "Return"});
    EXPECT_TRUE(waitUntil([&] { return fs::exists(marker_); })) << "the window manager's shortcut was lost";
    expected += "kept\n";
    EXPECT_TRUE(holdsText(*client, expected));
    EXPECT_TRUE(session().hasFocus(client->window()));
}

// ---------------------------------------------------------------- a stalled program

class StalledProgram : public DesktopTest {
  protected:
    void SetUp() override { startSession(); }

    // Whether the program holds the keys typed into the focused window: it grabs them on its parent.
    bool holdsKeysInFocus() {
        const Window parent = session().parentOf(session().focusedWindow());
        return parent != 0 &&
               session().keyIsGrabbedElsewhere(XKeysymToKeycode(session().connection(), XK_space), 0, parent);
    }

    // After a stall the picker works as before: ";smi" and Return insert the first result.
    void expectThePickerWorks(TextClient& client, std::string& expected) {
        PickerOracle oracle(RunningProgram::returningUser());
        ASSERT_TRUE(typeSearch(oracle, ";smi")) << "the picker stopped reacting";
        press({"Return"});
        oracle.type("⏎");
        expected += oracle.takeInsertedText();
        expected += client.finishLine();
        EXPECT_TRUE(holdsText(client, expected));
    }
};

// The program's main loop hangs for a second (its main thread held by ptrace) while the user types:
// the key tap's own thread lets the keys through, so they reach the terminal during the hang.
TEST_F(StalledProgram, TypingGoesOnWhileTheMainLoopHangs) {
    TextClient* client = startProgramAndClient(Kind::xterm);
    if (!client) return;
    std::string expected = "before\n";
    type("before");
    press({"Return"});
    ASSERT_TRUE(holdsText(*client, expected));

    const pid_t pid = program().pid();
    if (::ptrace(PTRACE_SEIZE, pid, nullptr, nullptr) != 0) GTEST_SKIP() << "this machine forbids ptrace";
    struct Detach {
        pid_t pid;
        ~Detach() { ::ptrace(PTRACE_DETACH, pid, nullptr, nullptr); }
    } detach{pid};
    ASSERT_EQ(::ptrace(PTRACE_INTERRUPT, pid, nullptr, nullptr), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, __WALL), pid);
    ASSERT_TRUE(WIFSTOPPED(status));  // only the main thread: the key tap's thread runs on
    const auto stalledAt = std::chrono::steady_clock::now();

    type("during the hang", 10);
    press({"Return"});
    expected += "during the hang\n";
    // The main thread stays stopped until this wait ends, so a generous bound still tells typing
    // that goes on from typing that waits for the main loop.
    EXPECT_TRUE(client->waitForText(expected, 10))
        << "typing froze with the main loop: " << described(client->text());
    std::this_thread::sleep_until(stalledAt + std::chrono::seconds(1));  // the rest of the hang
    ASSERT_EQ(::ptrace(PTRACE_DETACH, pid, nullptr, nullptr), 0);
    detach.pid = -1;

    expectThePickerWorks(*client, expected);
}

// The whole program is stopped (SIGSTOP) while the user types: ordinary keys are not held, so they
// reach the terminal at once; once the program continues, the picker works as before.
TEST_F(StalledProgram, OrdinaryTypingGoesOnWhileTheProgramIsStopped) {
    TextClient* client = startProgramAndClient(Kind::xterm);
    if (!client) return;
    std::string expected = "before\n";
    type("before");
    press({"Return"});
    ASSERT_TRUE(holdsText(*client, expected));

    ASSERT_TRUE(suspendProcess(program().pid()));
    type("while Stopped", 10);
    press({"Return"});
    expected += "while Stopped\n";
    EXPECT_TRUE(client->waitForText(expected))
        << "typing waited for the program: " << described(client->text());
    program().process().signal(SIGCONT);

    expectThePickerWorks(*client, expected);
}

// The whole program is stopped while the user types the instant-open pair and a query: all of it
// reaches the field. Once the program goes on, the panel opens with the query, erasing what was
// typed for it. A pair followed by a space, which no query begins with, goes with the space, as the
// panel would have taken both, and what follows stays.
TEST_F(StalledProgram, AnInstantOpenPairTypedMeanwhileOpensThePanel) {
    const MemoryDefaults user = RunningProgram::returningUser();
    PickerOracle oracle(user);
    TextClient* client = startProgramAndClient(Kind::gtkEntry, user);
    if (!client) return;
    type("ab");
    ASSERT_TRUE(holdsText(*client, "ab"));
    ASSERT_TRUE(suspendProcess(program().pid()));
    type(";;", 200);
    type("tea", 0);
    EXPECT_TRUE(holdsText(*client, "ab;;tea"));
    program().process().signal(SIGCONT);
    ASSERT_TRUE(program().waitForPanel(true)) << "no panel after \";;\"";
    press({"Return"});
    oracle.type("ab;;tea⏎");
    const auto insertions = oracle.takeInsertions();
    ASSERT_FALSE(insertions.empty());
    std::string expected = "ab" + insertions.back().text;
    EXPECT_TRUE(holdsText(*client, expected));

    // The text is in, yet the program may not have seen all of it go by: until it has, it holds the
    // keys typed into the window, to type them after the text. Stopped that moment, it would hold
    // them until it goes on.
    ASSERT_TRUE(waitUntil([&] { return !holdsKeysInFocus(); })) << "the program went on holding the keys";
    ASSERT_TRUE(suspendProcess(program().pid()));
    type(" x;; tea kettle,", 0);
    EXPECT_TRUE(holdsText(*client, expected + " x;; tea kettle,"));
    expected += " xtea kettle,";
    program().process().signal(SIGCONT);
    EXPECT_TRUE(holdsText(*client, expected));
    type(" ok");
    expected += " ok";
    EXPECT_TRUE(holdsText(*client, expected));
    EXPECT_FALSE(program().panel().has_value());
}

}  // namespace
}  // namespace mosaiko::testing

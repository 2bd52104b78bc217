// Long snippets typed into a real client: prose with capitals, punctuation, line breaks and a few
// characters the keyboard lacks arrives whole; and a quit in the middle of a long one ends the
// typing, exits, and leaves the keyboard as it was.
#include <signal.h>

#include <algorithm>
#include <memory>
#include <tuple>

#include "content/CustomContentStore.hpp"
#include "e2e/DesktopTest.hpp"
#include "platform/linux/ProcessInputWait.hpp"

namespace mosaiko::testing {
namespace {

using Kind = TextClient::Kind;

// `lines` lines of prose, each a little different, each ending with `tail`; for a single-line field,
// on one line.
std::string prose(int lines, const std::string& tail = "", bool singleLine = false) {
    std::string text;
    for (int i = 0; i < lines; ++i) {
        if (i > 0) text += singleLine ? " " : "\n";
        text +=
            "Line " + std::to_string(i) + ": Dear Ms. O'Neil, the Café über-meeting — at 12:30 (room #4B) — ";
        text += "is moved; bring 50% more \"notes\" & ☕ [ok?] {yes} <no> ~ `|\\/` ^_^ = +1 @all!" + tail;
    }
    return text;
}

// Plain Latin prose of exactly `characters` characters, the classic placeholder text over and over.
std::string loremIpsum(std::size_t characters) {
    const std::string words =
        "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor incididunt ut "
        "labore et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud exercitation ullamco laboris "
        "nisi ut aliquip ex ea commodo consequat. Duis aute irure dolor in reprehenderit in voluptate velit "
        "esse cillum dolore eu fugiat nulla pariatur. ";
    std::string text;
    while (text.size() < characters) text += words;
    text.resize(characters);
    return text;
}

// Latin prose of `characters` Unicode scalars with words the keyboard lacks all through it (Greek,
// kana and kanji, emoji, dashes: far more distinct ones than there are spare keycodes, so that
// these are given other characters again and again), in lines of about 80 for a client that shows
// lines, on one line for a single-line field.
std::string mixedProse(std::size_t characters, Kind client) {
    const bool lines = client == Kind::xterm || client == Kind::gtkTextView;
    static const std::vector<std::string> words = {
        "sunt", "excepteur", "Ωμέγα",     "sint",     "aute", "—", "nisi", "Καλημέρα", "tempor", "東京タワー",
        "ex",   "non",       "ευχαριστώ", "pariatur", "😀",    "@", "½",    "aliquip;", "veniam", "日本語",
        "elit", "sed",       "ψηφιακή",   "a",        "🎉",    "+", "do",   "ζωή",      "Ξένος",  "consequat"};
    std::string text;
    std::size_t count = 0, line = 0;
    for (std::size_t i = 0; count < characters; ++i) {
        std::string word = words[(i * 7) % words.size()] + (line >= 80 && lines ? "\n" : " ");
        line = line >= 80 ? 0 : line + text::scalars(word).size();
        const auto scalars = text::scalars(word);
        const std::size_t take = std::min(scalars.size(), characters - count);
        text += text::fromScalars(std::u32string_view(scalars).substr(0, take));
        count += take;
    }
    while (text.ends_with(' ') || text.ends_with('\n')) text.pop_back();  // a snippet keeps none at its end
    return text;
}

// Where `typed` and `text` part: their first `typed.size()` bytes agree up to there.
std::string whereTheyPart(const std::string& typed, const std::string& text) {
    const auto [differ, against] = std::mismatch(typed.begin(), typed.end(), text.begin(), text.end());
    return "from " + std::to_string(differ - typed.begin()) + " of " + std::to_string(typed.size()) + ": " +
           described(std::string(differ, std::min(differ + 40, typed.end()))) + " where the text has " +
           described(std::string(against, std::min(against + 40, text.end())));
}

// Whether `client` comes to hold `text`, however long a busy machine takes to type it: the wait
// ends when the text is there or when nothing more has arrived for 15 seconds.
bool arrivesWhole(const TextClient& client, const std::string& text) {
    std::string before;
    while (!client.waitForText(text, 15)) {
        const std::string now = client.text();
        if (now == text) return true;  // it came just then
        if (now == before || now.size() >= text.size()) return false;
        before = now;
    }
    return true;
}

class LongSnippets : public DesktopTest {
  protected:
    void SetUp() override { startSession(); }

    // Starts the program for a user with the snippet (and a short one, "shortsnip") and a client,
    // and chooses the snippet there.
    TextClient* chooseSnippet(const std::string& snippet, Kind kind) {
        MemoryDefaults user = RunningProgram::returningUser();
        CustomContentStore(user).addSnippet("Long", snippet, {"longsnip"}, {});
        CustomContentStore(user).addSnippet("Short", "The end.", {"shortsnip"}, {});
        TextClient* client = startProgramAndClient(kind, user);
        if (!client) return nullptr;
        type(";longsnip");
        EXPECT_TRUE(program().waitForPanel(true)) << program().output();
        press({"Return"});
        return client;
    }
};

TEST_F(LongSnippets, ArriveWholeWithCapitalsPunctuationAndLineBreaks) {
    const std::string snippet = prose(12);
    TextClient* client = chooseSnippet(snippet, Kind::gtkTextView);
    if (!client) return;
    EXPECT_TRUE(arrivesWhole(*client, snippet)) << [&] {
        const std::string typed = client->text();
        const auto differ = std::mismatch(typed.begin(), typed.end(), snippet.begin(), snippet.end()).first;
        return "from " + std::to_string(differ - typed.begin()) + ": " +
               described(std::string(differ, std::min(differ + 80, typed.end())));
    }();
}

// A client stopped (SIGSTOP) for five seconds in the middle of a long text with Greek, Japanese and
// emoji reads every character it was sent once it goes on.
TEST_F(LongSnippets, ArriveWholeInAClientStoppedInTheMiddle) {
    const std::string snippet = prose(18, " Ωμέγα 東京タワー 😀🎉");
    TextClient* client = chooseSnippet(snippet, Kind::gtkTextView);
    if (!client) return;
    ASSERT_TRUE(waitUntil([&] { return client->text().size() > 300; }, 30))
        << "typing did not start: " << described(client->text()) << program().output();
    ASSERT_TRUE(suspendProcess(client->pid()));
    waitFor(5);
    ::kill(client->pid(), SIGCONT);
    EXPECT_TRUE(holdsText(*client, snippet, 60));
}

// Another window taking the keyboard focus in the middle of a long text (an alert, a click) gets at
// most the two characters that were on their way: the text stops where it was.
class FocusMovingAway : public DesktopTest, public ::testing::WithParamInterface<Kind> {
  protected:
    void SetUp() override { startSession(); }
};

TEST_P(FocusMovingAway, StopsTheTextWithAtMostTwoCharactersInTheOtherWindow) {
    // Long enough to go on while the focus moves, under load.
    const std::string snippet = prose(700, "", GetParam() != Kind::xterm);
    MemoryDefaults user = RunningProgram::returningUser();
    CustomContentStore(user).addSnippet("Long", snippet, {"longsnip"}, {});
    startProgram(user);
    TextClient* other = startClient(GetParam() == Kind::qtLineEdit ? Kind::gtkEntry : Kind::qtLineEdit);
    TextClient* client = startClient(GetParam());
    if (!other || !client || HasFailure()) return;
    type(";longsnip");
    ASSERT_TRUE(program().waitForPanel(true)) << program().output();
    press({"Return"});
    ASSERT_TRUE(waitUntil([&] { return client->text().size() > 300; }, 30)) << "typing did not start";
    ASSERT_TRUE(other->focus());

    std::string typed;
    EXPECT_TRUE(waitUntil(
        [&] {
            typed = client->text();
            waitFor(1);
            return client->text() == typed;
        },
        60));
    EXPECT_TRUE(snippet.starts_with(typed)) << whereTheyPart(typed, snippet);
    EXPECT_LT(typed.size() + 1000, snippet.size()) << "the text went on";
    EXPECT_LE(text::characterCount(other->text()), 2u) << described(other->text().substr(0, 80));
}

INSTANTIATE_TEST_SUITE_P(SingleLine, FocusMovingAway,
                         ::testing::Values(Kind::xterm, Kind::gtkEntry, Kind::qtLineEdit), clientName);

// Plain Latin prose, 3,200 characters into a GTK entry and 10,000 into a GtkTextView, arrives
// whole: GTK lost the letters the program had typed on spare keycodes, which it read late.
class LongLatinTexts : public DesktopTest,
                       public ::testing::WithParamInterface<std::pair<Kind, std::size_t>> {
  protected:
    void SetUp() override { startSession(); }
};

TEST_P(LongLatinTexts, ArriveWhole) {
    const auto [kind, characters] = GetParam();
    const std::string snippet = loremIpsum(characters);
    MemoryDefaults user = RunningProgram::returningUser();
    CustomContentStore(user).addSnippet("Lorem", snippet, {"longsnip"}, {});
    TextClient* client = startProgramAndClient(kind, user);
    if (!client) return;
    type(";longsnip");
    ASSERT_TRUE(program().waitForPanel(true)) << program().output();
    press({"Return"});
    EXPECT_TRUE(arrivesWhole(*client, snippet)) << [&] {
        const std::string typed = client->text();
        const auto differ = std::mismatch(typed.begin(), typed.end(), snippet.begin(), snippet.end()).first;
        return "from " + std::to_string(differ - typed.begin()) + " of " + std::to_string(typed.size()) +
               ": " + described(std::string(differ, std::min(differ + 80, typed.end())));
    }();
}

INSTANTIATE_TEST_SUITE_P(Lorem, LongLatinTexts,
                         ::testing::Values(std::pair{Kind::gtkEntry, std::size_t{3200}},
                                           std::pair{Kind::gtkTextView, std::size_t{10000}}),
                         [](const auto& info) {
                             return TextClient::kindName(info.param.first) +
                                    std::to_string(info.param.second);
                         });

// SIGTERM while a snippet of a hundred thousand characters is being typed: the program exits, the
// keyboard mapping is what it was before the program started, no record of remapped keycodes is
// left, nothing more arrives, and what arrived is the start of the snippet. (The terminal shows the
// finished lines.)
TEST_F(LongSnippets, AQuitStopsTheTypingAndGivesTheKeyboardBack) {
    const std::vector<unsigned long> mapping = session().keyboardMapping();
    const std::string snippet = prose(700);
    TextClient* client = chooseSnippet(snippet, Kind::xterm);
    if (!client) return;
    ASSERT_TRUE(waitUntil([&] { return client->text().size() > 300; }, 30)) << "typing did not start";

    program().process().signal(SIGTERM);
    ASSERT_TRUE(program().process().waitForExit(10).has_value()) << "the program went on typing";
    EXPECT_EQ(session().keyboardMapping(), mapping);
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(session().runtimeDir(), ec))
        EXPECT_FALSE(entry.path().filename().string().starts_with("keycodes.")) << "left: " << entry.path();
    const std::string typed = client->text();
    waitFor(0.5);
    EXPECT_EQ(client->text(), typed) << "keys arrived after the exit";
    const auto differ = std::mismatch(typed.begin(), typed.end(), snippet.begin(), snippet.end()).first;
    EXPECT_EQ(differ, typed.end()) << "from " << differ - typed.begin() << ": "
                                   << described(std::string(differ, std::min(differ + 80, typed.end())));
    EXPECT_LT(typed.size(), snippet.size());
}

// A copy started while a long snippet was typed: its alert took the focus, the text went on into
// the alert, the user's answer waited behind it, and the first copy ended 6 to 20 s later.
TEST_F(LongSnippets, ANewCopyStopsTheTypingBeforeItsAlertTakesTheFocus) {
    const std::string snippet = prose(700);
    TextClient* client = chooseSnippet(snippet, Kind::xterm);
    if (!client) return;
    ASSERT_TRUE(waitUntil([&] { return client->text().size() > 300; }, 30)) << "typing did not start";

    RunningProgram newer(session());
    const auto alert = session().waitForWindow(
        [&](const WindowInfo& w) { return w.pid == newer.pid() && w.name == "Mosaiko"; }, 30);
    ASSERT_TRUE(alert) << "no alert\n" << newer.output();
    // Given the focus back, the client gets nothing more: once it has shown the keys it had been
    // sent, its text stays (the terminal shows each finished line).
    ASSERT_TRUE(client->focus());
    std::string typed;
    EXPECT_TRUE(waitUntil(
        [&] {
            typed = client->text();
            waitFor(2);
            return client->text() == typed;
        },
        20))
        << "the older copy went on typing";
    EXPECT_LT(typed.size(), snippet.size());
    EXPECT_TRUE(program().process().running()) << "the older copy's text answered the alert";

    // The newer copy is told to end before the user answers: the older one goes on, and types.
    newer.process().signal(SIGTERM);
    EXPECT_EQ(newer.process().waitForExit(15), 0);
    EXPECT_TRUE(client->focus());
    type(";shortsnip");
    EXPECT_TRUE(program().waitForPanel(true)) << program().output();
    press({"Return"});
    waitFor(0.5);
    client->finishLine();
    EXPECT_TRUE(waitUntil([&] { return client->text().ends_with("The end.\n"); }, 15))
        << client->text().size();
}

// 150 different characters the keyboard lacks, into a terminal, which answers no ping: it shows
// that it has read its keys by waiting for more, so the spare keycodes go round at once (at about 2
// characters a second before, each waiting 10 s).
TEST_F(LongSnippets, ManyCharactersOffTheKeyboardReachATerminalWhole) {
    std::u32string kanji;
    for (char32_t c = 0x4E00; c < 0x4E00 + 150; ++c) kanji += c;
    const std::string snippet = text::fromScalars(kanji);
    TextClient* client = chooseSnippet(snippet, Kind::xterm);
    if (!client) return;
    const std::string expected = snippet + client->finishLine();
    EXPECT_TRUE(holdsText(*client, expected, 60));
}

// ---------------------------------------------------------------- a new keymap

class KeymapReloads : public DesktopTest, public ::testing::WithParamInterface<Kind> {
  protected:
    void SetUp() override {
        startSession();
        if (HasFatalFailure() || IsSkipped()) return;
        if (session().run({"setxkbmap", "us"}) != 0) GTEST_SKIP() << "setxkbmap is needed";
    }

    // Whether the client has read every key it was sent: a field shows it in its text; the
    // terminal, which shows only finished lines, by waiting in its event loop with nothing unread,
    // twice alike. A client reads a key's meaning only when it gets round to the key: a keymap
    // loaded before that is one it reads the key with, whatever the program does.
    static bool hasReadItsKeys(const TextClient& client, const std::string& expected) {
        if (client.kind() != Kind::xterm) return client.text() == expected;
        const auto first = ProcessInputWait::of(client.pid());
        if (!first || !first->waiting) return false;
        waitFor(0.05);
        const auto second = ProcessInputWait::of(client.pid());
        return second && second->waiting && second->switches == first->switches;
    }
};

// A new keymap (setxkbmap, as desktop layout settings and switchers load) takes every character off
// the spare keycodes: between two insertions (once the client has read the first), and in the
// middle of a text while the client is behind (stopped) with keys it has yet to read, it costs
// nothing.
TEST_P(KeymapReloads, BetweenInsertionsAndInTheMiddleOfATextCostNothing) {
    MemoryDefaults user = RunningProgram::returningUser();
    const std::string snippet = mixedProse(1500, GetParam());
    CustomContentStore(user).addSnippet("Long", snippet, {"longsnip"}, {});
    PickerOracle oracle(user);
    TextClient* client = startProgramAndClient(GetParam(), user);
    if (!client) return;
    std::string expected;
    for (const std::string typed : {"a;smi", " b;smi"}) {
        type(typed);
        oracle.type(typed);
        oracle.wait(0.4);
        ASSERT_TRUE(program().waitForPanel(true));
        press({"Return"});
        oracle.type("⏎");
        expected += typed.substr(0, typed.find(';')) + oracle.takeInsertedText();
        ASSERT_TRUE(program().waitForPanel(false));
        ASSERT_TRUE(waitUntil([&] { return hasReadItsKeys(*client, expected); }, 30)) << client->text();
        ASSERT_EQ(session().run({"setxkbmap", "us"}), 0);
    }
    type(" ;longsnip");
    ASSERT_TRUE(program().waitForPanel(true));
    press({"Return"});
    ASSERT_TRUE(waitUntil([&] { return client->text().size() > expected.size() + 200; }, 30))
        << "typing did not start";
    ASSERT_TRUE(suspendProcess(client->pid()));
    ASSERT_EQ(session().run({"setxkbmap", "us"}), 0);
    waitFor(1);
    ::kill(client->pid(), SIGCONT);
    expected += " " + snippet + client->finishLine();
    EXPECT_TRUE(holdsText(*client, expected, 60)) << whereTheyPart(client->text(), expected);
}

INSTANTIATE_TEST_SUITE_P(SingleLine, KeymapReloads,
                         ::testing::Values(Kind::xterm, Kind::gtkEntry, Kind::qtLineEdit), clientName);

// ---------------------------------------------------------------- a client far behind

class LateClients : public DesktopTest, public ::testing::WithParamInterface<Kind> {
  protected:
    void SetUp() override { startSession(); }
};

// A client stopped (SIGSTOP) for 15 s in the middle of a long mixed text, while the user chooses
// another text in it, reads both whole once it goes on: the spare keycodes it was sent characters
// on keep them until it has read them (before, one got another character 10 s after its last key,
// and the client read that one instead).
TEST_P(LateClients, ReadTheTextAndTheNextWholeAfterAStop) {
    const std::string snippet = mixedProse(3000, GetParam());
    const std::string next = "Ωμέγα 😀 東京 — ½ Καλημέρα ψηφιακή next";
    MemoryDefaults user = RunningProgram::returningUser();
    CustomContentStore(user).addSnippet("Long", snippet, {"longsnip"}, {});
    CustomContentStore(user).addSnippet("Next", next, {"nextsnip"}, {});
    TextClient* client = startProgramAndClient(GetParam(), user);
    if (!client) return;
    type(";longsnip");
    ASSERT_TRUE(program().waitForPanel(true)) << program().output();
    press({"Return"});
    ASSERT_TRUE(waitUntil([&] { return client->text().size() > 300; }, 30)) << "typing did not start";
    ASSERT_TRUE(suspendProcess(client->pid()));
    // On the keyboard, as a user types: a tool typing through the virtual keyboard the program types
    // through could not be told from it key for key.
    ASSERT_NO_FATAL_FAILURE(typeOnKeyboard(";nextsnip", 50));
    ASSERT_TRUE(program().waitForPanel(true)) << program().output();
    ASSERT_NO_FATAL_FAILURE(pressOnKeyboard({"Return"}, 0));
    waitFor(15);
    ::kill(client->pid(), SIGCONT);
    const std::string expected = snippet + next + client->finishLine();
    EXPECT_TRUE(holdsText(*client, expected, 120)) << whereTheyPart(client->text(), expected);
}

INSTANTIATE_TEST_SUITE_P(SingleLine, LateClients,
                         ::testing::Values(Kind::xterm, Kind::gtkEntry, Kind::gtkTextView, Kind::qtLineEdit),
                         clientName);

// ---------------------------------------------------------------- a stop in the middle of a text

enum class Stop { terminate, interrupt, hangUp, newerCopy, straySignal };

using StopInClient = std::tuple<Stop, Kind>;

std::string stopName(const ::testing::TestParamInfo<StopInClient>& info) {
    static const char* const names[] = {"Terminate", "Interrupt", "HangUp", "NewerCopy", "StraySignal"};
    return names[static_cast<int>(std::get<0>(info.param))] + TextClient::kindName(std::get<1>(info.param));
}

class StopsInTheMiddle : public DesktopTest, public ::testing::WithParamInterface<StopInClient> {
  protected:
    void SetUp() override { startSession(); }
};

// A quit (SIGTERM, SIGINT, SIGHUP) or a newer copy stops a long text with Greek letters in its
// middle: what arrived is an exact beginning of the text, then the keys the user typed meanwhile;
// a quit exits within moments, with the keyboard mapped as it was. A SIGUSR1 from anybody but a
// newer copy stops nothing.
TEST_P(StopsInTheMiddle, LeaveAnExactBeginningThenTheKeysTypedMeanwhile) {
    const auto [stop, kind] = GetParam();
    const std::vector<unsigned long> mapping = session().keyboardMapping();
    const std::string snippet = mixedProse(6000, kind);
    MemoryDefaults user = RunningProgram::returningUser();
    CustomContentStore(user).addSnippet("Long", snippet, {"longsnip"}, {});
    TextClient* client = startProgramAndClient(kind, user);
    if (!client) return;
    type(";longsnip");
    ASSERT_TRUE(program().waitForPanel(true)) << program().output();
    press({"Return"});
    ASSERT_TRUE(waitUntil([&] { return client->text().size() > 300; }, 30)) << "typing did not start";
    ASSERT_NO_FATAL_FAILURE(typeOnKeyboard("XYZ", 30));

    std::unique_ptr<RunningProgram> newer;
    const int signals[] = {SIGTERM, SIGINT, SIGHUP};
    switch (stop) {
        case Stop::terminate:
        case Stop::interrupt:
        case Stop::hangUp:
            program().process().signal(signals[static_cast<int>(stop)]);
            EXPECT_EQ(program().process().waitForExit(10), 0) << program().output();
            EXPECT_EQ(session().keyboardMapping(), mapping);
            break;
        case Stop::newerCopy: {
            newer = std::make_unique<RunningProgram>(session());
            const pid_t pid = newer->pid();
            const auto alert = session().waitForWindow(
                [&](const WindowInfo& w) { return w.pid == pid && w.name == "Mosaiko"; }, 30);
            ASSERT_TRUE(alert) << "no alert\n" << newer->output();
            ASSERT_TRUE(client->focus());
            break;
        }
        case Stop::straySignal:
            ::kill(program().pid(), SIGUSR1);
            break;
    }
    // The terminal shows finished lines: once nothing more arrives, the last one is finished.
    std::string typed;
    auto settled = [&] {
        typed = client->text();
        waitFor(1);
        return client->text() == typed;
    };
    std::string lineEnd;
    if (kind == Kind::xterm) {
        ASSERT_TRUE(waitUntil(settled, 60));
        lineEnd = client->finishLine();
    }
    ASSERT_TRUE(waitUntil([&] { return settled() && typed.ends_with("XYZ" + lineEnd); }, 120))
        << described(typed.substr(typed.size() - std::min<std::size_t>(typed.size(), 80)));
    const std::string beginning = typed.substr(0, typed.size() - 3 - lineEnd.size());
    EXPECT_TRUE(snippet.starts_with(beginning)) << whereTheyPart(beginning, snippet);
    if (stop == Stop::straySignal) {
        EXPECT_EQ(beginning, snippet) << whereTheyPart(beginning, snippet);
    }
    if (newer) newer->process().signal(SIGTERM);
}

INSTANTIATE_TEST_SUITE_P(Stops, StopsInTheMiddle,
                         ::testing::Combine(::testing::Values(Stop::terminate, Stop::interrupt, Stop::hangUp,
                                                              Stop::newerCopy, Stop::straySignal),
                                            ::testing::Values(Kind::xterm, Kind::gtkEntry)),
                         stopName);

}  // namespace
}  // namespace mosaiko::testing

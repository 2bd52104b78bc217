// Long snippets typed into a real client: prose with capitals, punctuation, line breaks and a few
// characters the keyboard lacks arrives whole; and a quit in the middle of a long one ends the
// typing, exits, and leaves the keyboard as it was.
#include <signal.h>

#include <algorithm>

#include "content/CustomContentStore.hpp"
#include "e2e/DesktopTest.hpp"

namespace mosaiko::testing {
namespace {

using Kind = TextClient::Kind;

// `lines` lines of prose, each a little different, each ending with `tail`.
std::string prose(int lines, const std::string& tail = "") {
    std::string text;
    for (int i = 0; i < lines; ++i) {
        if (i > 0) text += "\n";
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

// Another window taking the keyboard focus in the middle of a long text (an alert, a click) gets
// none of the rest of it, beyond the keys already on their way: the text stops where it was.
TEST_F(LongSnippets, StopWhenAnotherWindowTakesTheFocus) {
    const std::string snippet = prose(700);  // long enough to go on while the focus moves, under load
    MemoryDefaults user = RunningProgram::returningUser();
    CustomContentStore(user).addSnippet("Long", snippet, {"longsnip"}, {});
    startProgram(user);
    TextClient* other = startClient(Kind::qtLineEdit);
    TextClient* client = startClient(Kind::xterm);  // which shows the finished lines
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
        20));
    EXPECT_TRUE(snippet.starts_with(typed)) << described(typed.substr(0, 80));
    EXPECT_LT(typed.size() + 1000, snippet.size()) << "the text went on";
    EXPECT_LT(other->text().size(), 200u) << described(other->text().substr(0, 80));
}

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

}  // namespace
}  // namespace mosaiko::testing

#include "platform/x11/X11EventPoster.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include <X11/Xlib.h>

#include "KeyEventPrinter.hpp"
#include "picker/EmojiInserter.hpp"
#include "platform/Text.hpp"
#include "platform/x11/X11KeyTap.hpp"
#include "support/TextClient.hpp"

namespace mosaiko {
namespace {

using testing::TextClient;
using testing::waitFor;
using testing::waitUntil;
using testing::XSession;
namespace fs = std::filesystem;

// Posts what an insertion posts: `deleteCount` Delete presses, then the whole text as one event pair.
void insert(X11EventPoster& poster, const std::u16string& text, int deleteCount) {
    for (int i = 0; i < deleteCount; ++i) {
        poster.post({KeyCode::deleteKey, true, 0, kEventMarker, u""});
        poster.post({KeyCode::deleteKey, false, 0, kEventMarker, u""});
    }
    if (text.empty()) return;
    poster.post({0, true, 0, kEventMarker, text});
    poster.post({0, false, 0, kEventMarker, text});
}

// Every keysym of every keycode, to see that the poster leaves the keyboard as it found it.
std::vector<unsigned long> keyboardMapping(const std::string& displayName) {
    Display* display = XOpenDisplay(displayName.c_str());
    int minKeycode = 0, maxKeycode = 0, perKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    KeySym* map = XGetKeyboardMapping(display, static_cast<::KeyCode>(minKeycode),
                                      maxKeycode - minKeycode + 1, &perKeycode);
    std::vector<unsigned long> result(map, map + (maxKeycode - minKeycode + 1) * perKeycode);
    XFree(map);
    XCloseDisplay(display);
    return result;
}

// Gives each keycode in `keycodes` the keysym in `keysyms` at the same place (NoSymbol empties it).
void remap(const std::string& displayName, const std::vector<std::pair<int, unsigned long>>& changes) {
    Display* display = XOpenDisplay(displayName.c_str());
    for (const auto& [keycode, keysym] : changes) {
        KeySym syms[2] = {keysym, keysym};
        XChangeKeyboardMapping(display, keycode, keysym == NoSymbol ? 1 : 2, syms, 1);
    }
    XSync(display, False);
    XCloseDisplay(display);
}

// The keycodes whose mapping differs between two snapshots, with the keysym they hold in `now`.
std::vector<std::pair<int, unsigned long>> changedKeycodes(const std::string& displayName,
                                                           const std::vector<unsigned long>& before,
                                                           const std::vector<unsigned long>& now) {
    Display* display = XOpenDisplay(displayName.c_str());
    int minKeycode = 0, maxKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    XCloseDisplay(display);
    const std::size_t per = before.size() / static_cast<std::size_t>(maxKeycode - minKeycode + 1);
    std::vector<std::pair<int, unsigned long>> changed;
    for (std::size_t i = 0; i < before.size() && i < now.size(); i += per) {
        if (!std::equal(before.begin() + i, before.begin() + i + per, now.begin() + i))
            changed.emplace_back(minKeycode + static_cast<int>(i / per), now[i]);
    }
    return changed;
}

class X11EventPosterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        session = std::make_unique<XSession>();
        ASSERT_TRUE(session->ok()) << session->error();
        client = std::make_unique<TextClient>(*session);
        ASSERT_TRUE(client->ok());
        ASSERT_TRUE(client->focus());
        originalMapping = keyboardMapping(session->display());
        poster = X11EventPoster::create({session->display(), ledger, 0.03, 10, {}});
        ASSERT_NE(poster, nullptr);
    }
    void TearDown() override {
        tap.reset();
        poster.reset();
        client.reset();
        session.reset();
    }

    std::shared_ptr<PostedKeyLedger> ledger = std::make_shared<PostedKeyLedger>();
    std::unique_ptr<XSession> session;
    std::unique_ptr<TextClient> client;
    std::vector<unsigned long> originalMapping;
    std::unique_ptr<X11EventPoster> poster;
    std::unique_ptr<X11KeyTap> tap;
};

TEST_F(X11EventPosterTest, TypesEmojiSequencesSymbolsAndSeveralLinesIntact) {
    // A couple holding hands with two skin tones (joiners included), a shrug, and three lines.
    insert(*poster, u"\U0001F469\U0001F3FB\u200D\U0001F91D\u200D\U0001F468\U0001F3FF", 0);
    insert(*poster, u"\u00AF\\_(\u30C4)_/\u00AF", 0);
    insert(*poster, u"first line\nsecond line\r\nthird\tend", 0);
    EXPECT_TRUE(
        client->waitForText("👩🏻‍🤝‍👨🏿¯\\_(ツ)_/¯first line\nsecond line\nthird\tend"))
        << client->text();

    // The spare keycodes go back to having no symbols when the poster goes.
    poster.reset();
    EXPECT_EQ(keyboardMapping(session->display()), originalMapping);
}

// A client reads a key's meaning only when it gets round to the key: one stopped for a while
// (SIGSTOP) after the first insertion reads every character it was sent once it goes on, since a
// spare keycode keeps its character and the next character goes on another.
TEST_F(X11EventPosterTest, AClientStoppedAcrossSeveralInsertionsReadsEachCharacterLater) {
    poster = X11EventPoster::create({session->display(), ledger, 0, 10, {}});
    ASSERT_NE(poster, nullptr);
    ASSERT_TRUE(testing::suspendProcess(client->pid()));
    const std::u16string texts[] = {u"x\U0001F600", u"y\U0001F601\u03B1", u"z\U0001F600\u03B2"};
    for (const auto& text : texts) {
        insert(*poster, text, 0);
        waitFor(0.7);
    }
    ::kill(client->pid(), SIGCONT);
    EXPECT_TRUE(client->waitForText("x😀y😁αz😀β")) << client->text();
}

TEST_F(X11EventPosterTest, DeletePressesEraseWhatWasTypedBeforeTheText) {
    ASSERT_EQ(session->xdotool({"type", "--delay", "10", "hello;sm"}), 0);
    ASSERT_TRUE(client->waitForText("hello;sm"));
    insert(*poster, u"\U0001F600", 3);
    EXPECT_TRUE(client->waitForText("hello😀")) << client->text();
    insert(*poster, u"", 2);
    EXPECT_TRUE(client->waitForText("hell")) << client->text();
}

// The keyboard's own characters go on its keys (with Shift where needed); the Greek letters, far
// more than there are spare keycodes, in rounds on them.
TEST_F(X11EventPosterTest, ATextWithMoreDistinctScalarsThanSpareKeycodesGoesInRounds) {
    const std::u16string text =
        u"The quick brown fox jumps over the lazy dog: 0123456789 \u00C4\u00D6\u00DC "
        u"\u00E9\u00E8! \u03B1\u03B2\u03B3\u03B4\u03B5\u03B6\u03B7\u03B8\u03B9"
        u"\u03BA\u03BB\u03BC\u03BD\u03BE\u03BF\u03C0\u03C1\u03C3\u03C4\u03C5"
        u"\u03C6\u03C7\u03C8\u03C9 \u0391\u0392\u0393\u0394";
    insert(*poster, text, 0);
    EXPECT_TRUE(
        client->waitForText("The quick brown fox jumps over the lazy dog: 0123456789 ÄÖÜ éè! "
                            "αβγδεζηθικλμνξοπρστυφχψω ΑΒΓΔ",
                            15))
        << client->text();
    poster.reset();
    EXPECT_EQ(keyboardMapping(session->display()), originalMapping);
}

// A spare keycode is given another character as soon as the client has answered a ping sent after
// its last key, whichever way the client answers (GTK and Qt send their answers with different
// event masks): else only after a minute here.
TEST_F(X11EventPosterTest, ClientsOfEitherToolkitAnswerThePingThatFreesSpareKeycodes) {
    poster = X11EventPoster::create({session->display(), ledger, 0.03, 60, {}});
    ASSERT_NE(poster, nullptr);
    const std::u16string greek =
        u"\u03B1\u03B2\u03B3\u03B4\u03B5\u03B6\u03B7\u03B8\u03B9\u03BA\u03BB\u03BC"
        u"\u03BD\u03BE\u03BF\u03C0\u03C1\u03C3\u03C4\u03C5\u03C6\u03C7\u03C8\u03C9";
    for (const auto kind : {TextClient::Kind::gtkEntry, TextClient::Kind::qtLineEdit}) {
        TextClient other(*session, kind);
        ASSERT_TRUE(other.ok() && other.focus()) << TextClient::kindName(kind);
        insert(*poster, greek, 0);
        EXPECT_TRUE(other.waitForText("αβγδεζηθικλμνξοπρστυφχψω", 20))
            << TextClient::kindName(kind) << ": " << other.text();
    }
}

TEST_F(X11EventPosterTest, OwnEventsReachTheTapMarkedAndPassEvenRightAfterADroppedKey) {
    std::vector<KeyEvent> events;
    int semicolons = 0;
    // Like instant open: the second semicolon is dropped, and from inside the callback the first one
    // is erased and an emoji typed, while the dropped key is still held.
    tap = X11KeyTap::create(
        [&](const KeyEvent& event) {
            events.push_back(event);
            if (event.userData == kEventMarker || event.characters != ";") return false;
            if (++semicolons < 2) return false;
            insert(*poster, u"\U0001F600", 1);
            return true;
        },
        {session->display(), ledger, 0.1});
    ASSERT_NE(tap, nullptr);
    tap->hold(KeyHolds{false, {KeyHold::typing(";", 1e9)}});
    tap->attachToMainLoop();

    ASSERT_EQ(session->xdotool({"type", "--delay", "20", "ab;;"}), 0);
    EXPECT_TRUE(client->waitForText("ab😀")) << client->text();
    ASSERT_EQ(session->xdotool({"key", "c"}), 0);
    EXPECT_TRUE(client->waitForText("ab😀c")) << client->text();
    // A key the tap does not hold is reported after the application has it.
    EXPECT_TRUE(waitUntil([&] { return !events.empty() && events.back().keyCode == 8; }));

    std::vector<std::pair<std::uint16_t, bool>> seen;  // key code, marked
    for (const auto& e : events) {
        if (e.type == KeyEvent::Type::keyDown) seen.emplace_back(e.keyCode, e.userData == kEventMarker);
    }
    ASSERT_GE(seen.size(), 6u);
    const std::vector<std::pair<std::uint16_t, bool>> expectedStart = {
        {0, false}, {11, false}, {41, false}, {41, false}, {51, true}};
    EXPECT_EQ(std::vector(seen.begin(), seen.begin() + 5), expectedStart);
    EXPECT_TRUE(seen[5].second);  // the emoji's key, read through the remapped keyboard
    const auto emojiKey = std::find_if(events.begin(), events.end(), [](const KeyEvent& e) {
        return e.type == KeyEvent::Type::keyDown && e.userData == kEventMarker &&
               e.keyCode != KeyCode::deleteKey;
    });
    ASSERT_NE(emojiKey, events.end());
    EXPECT_EQ(emojiKey->characters, "😀");
    EXPECT_EQ(seen.back(), std::make_pair(std::uint16_t{8}, false));
    EXPECT_EQ(ledger->pendingCount(), 0u);
}

// A press of the user's held back while the program typed is typed again only into the window it
// was typed into: after a switch to another window it is not typed at all.
TEST_F(X11EventPosterTest, APressTypedAgainGoesOnlyToItsOwnWindow) {
    TextClient other(*session, TextClient::Kind::qtLineEdit);
    // The new window takes the focus once it shows, which may come late on a busy machine: it has it
    // first, then the client takes it.
    ASSERT_TRUE(other.ok() && other.focus() && client->focus());
    Display* display = session->connection();
    const unsigned keycodeOfA = XKeysymToKeycode(display, 'a');
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(ledger->retypeLater(keycodeOfA, 0, "a", other.window()));
    ASSERT_TRUE(ledger->retypeLater(keycodeOfA, 0, "a", client->window()));
    ASSERT_TRUE(ledger->retypeLater(keycodeOfA, ShiftMask, "A", None));  // wherever the focus is
    EXPECT_TRUE(client->waitForText("aA")) << client->text();
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("was not typed again"), std::string::npos);
    EXPECT_EQ(other.text(), "");
}

// A stop (the program quits) ends a long text at once: nothing is typed afterwards, not even what is
// posted later; the remapped keycodes are given back and their record goes before it returns; and
// what arrived is the start of the text, whole.
TEST_F(X11EventPosterTest, AStopEndsALongTextAndGivesTheKeyboardBack) {
    poster.reset();
    const fs::path records = session->runtimeDir() / "mosaiko";
    poster = X11EventPoster::create({session->display(), ledger, 0.03, 10, records});
    ASSERT_NE(poster, nullptr);
    std::u16string text;
    for (int i = 0; i < 100; ++i)
        text +=
            u"Abc \u03B1\u03B2\u03B3\u03B4\u03B5\u03B6\u03B7\u03B8\u03B9\u03BA\u03BB\u03BC\u03BD"
            u"\u03BE\u03BF\u03C0\u03C1\u03C3\u03C4\u03C5\u03C6\u03C7\u03C8\u03C9 ";
    insert(*poster, text, 0);
    ASSERT_TRUE(waitUntil([&] { return text::characterCount(client->text()) > 30; }));
    poster->stop();
    EXPECT_EQ(keyboardMapping(session->display()), originalMapping);
    EXPECT_TRUE(!fs::exists(records) || fs::is_empty(records));
    const std::string stopped = client->text();
    insert(*poster, u"more", 0);
    waitFor(0.5);
    EXPECT_EQ(client->text(), stopped) << "typing went on after the stop";
    EXPECT_TRUE(text::fromUtf16(text).starts_with(stopped)) << stopped;
    EXPECT_LT(stopped.size(), text::fromUtf16(text).size());
}

// A run killed while its keycodes were remapped used them up for good: after 13 kills every spare
// keycode was gone. The next poster gives them back, unless another program has mapped one since.
TEST_F(X11EventPosterTest, KeycodesThatAKilledRunLeftRemappedAreGivenBackAtTheNextStart) {
    poster.reset();  // no thread of ours runs across the fork
    const fs::path records = session->runtimeDir() / "mosaiko";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto killed = X11EventPoster::create(
            {session->display(), std::make_shared<PostedKeyLedger>(), 0, 600, records});
        if (killed) insert(*killed, u"\U0001F600\U0001F601", 0);
        ::pause();
        ::_exit(0);
    }
    std::vector<std::pair<int, unsigned long>> left;
    waitUntil(
        [&] {
            left = changedKeycodes(session->display(), originalMapping, keyboardMapping(session->display()));
            return left.size() == 2;
        },
        10);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_EQ(left.size(), 2u) << "the run never remapped two keycodes";
    const std::pair<int, unsigned long> takenSince{left[1].first,
                                                   0x1000041};  // U+0041, mapped by someone else
    remap(session->display(), {takenSince});
    // And a record write the kill cut short.
    for (const auto& item : fs::directory_iterator(records))
        std::ofstream(item.path().string() + ".tmp-Ab12Cd") << "partial";

    poster = X11EventPoster::create({session->display(), ledger, 0.03, 10, records});
    ASSERT_NE(poster, nullptr);
    EXPECT_EQ(changedKeycodes(session->display(), originalMapping, keyboardMapping(session->display())),
              (std::vector<std::pair<int, unsigned long>>{takenSince}));
    EXPECT_TRUE(fs::is_empty(records));  // the killed run's records are gone with what they held
}

// When no spare keycode can be had, an insertion must fail before its first Delete press, so the
// user's text stays whole and no use is recorded for a text that was never typed.
TEST_F(X11EventPosterTest, WithoutASpareKeycodeAnInsertionSendsNothingAndSaysWhyOnce) {
    std::vector<std::pair<int, unsigned long>> fill;
    std::vector<std::pair<int, unsigned long>> empty;
    {
        Display* display = XOpenDisplay(session->display().c_str());
        int minKeycode = 0, maxKeycode = 0;
        XDisplayKeycodes(display, &minKeycode, &maxKeycode);
        XCloseDisplay(display);
        const std::size_t per =
            originalMapping.size() / static_cast<std::size_t>(maxKeycode - minKeycode + 1);
        for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
            const auto first = originalMapping.begin() + static_cast<long>((keycode - minKeycode) * per);
            if (std::all_of(first, first + static_cast<long>(per),
                            [](unsigned long k) { return k == NoSymbol; })) {
                fill.emplace_back(keycode, 0x1000100 + static_cast<unsigned long>(keycode));
                empty.emplace_back(keycode, NoSymbol);
            }
        }
    }
    ASSERT_FALSE(fill.empty());
    remap(session->display(), fill);

    int posted = 0;
    EmojiInserter inserter(
        [&](const SyntheticKeyEvent& event) {
            ++posted;
            poster->post(event);
        },
        EmojiInserter::plainEventFactory(),
        [&](const std::u16string& text) { return poster->canType(text); });
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(inserter.insert("\U0001F600", 3));
    EXPECT_FALSE(inserter.insert("\U0001F600", 3));
    EXPECT_TRUE(inserter.insert("", 1));  // Delete presses alone need no spare keycode
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(posted, 2);
    EXPECT_EQ(said.find("Mosaiko: nothing was typed"), said.rfind("Mosaiko: nothing was typed")) << said;
    EXPECT_NE(said.find("Mosaiko: nothing was typed"), std::string::npos) << said;

    remap(session->display(), {empty.front()});  // one keycode free again
    EXPECT_TRUE(inserter.insert("\U0001F600", 0));
    EXPECT_TRUE(client->waitForText("\U0001F600")) << client->text();
}

}  // namespace
}  // namespace mosaiko

#include "platform/x11/X11EventPoster.hpp"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include "KeyEventPrinter.hpp"
#include "platform/x11/X11KeyTap.hpp"
#include "support/TextClient.hpp"

namespace mosaiko {
namespace {

using testing::TextClient;
using testing::waitFor;
using testing::waitUntil;
using testing::XSession;

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

class X11EventPosterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        session = std::make_unique<XSession>();
        ASSERT_TRUE(session->ok()) << session->error();
        client = std::make_unique<TextClient>(*session);
        ASSERT_TRUE(client->ok());
        ASSERT_TRUE(client->focus());
        originalMapping = keyboardMapping(session->display());
        poster = X11EventPoster::create({session->display(), ledger, 0.03, 0.3});
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

    // Afterwards the spare keycodes go back to having no symbols.
    EXPECT_TRUE(waitUntil([&] { return keyboardMapping(session->display()) == originalMapping; }, 3));
}

TEST_F(X11EventPosterTest, DeletePressesEraseWhatWasTypedBeforeTheText) {
    ASSERT_EQ(session->xdotool({"type", "--delay", "10", "hello;sm"}), 0);
    ASSERT_TRUE(client->waitForText("hello;sm"));
    insert(*poster, u"\U0001F600", 3);
    EXPECT_TRUE(client->waitForText("hello😀")) << client->text();
    insert(*poster, u"", 2);
    EXPECT_TRUE(client->waitForText("hell")) << client->text();
}

TEST_F(X11EventPosterTest, ATextWithMoreDistinctScalarsThanSpareKeycodesGoesInRounds) {
    const std::u16string text =
        u"The quick brown fox jumps over the lazy dog: 0123456789 \u00C4\u00D6\u00DC \u00E9\u00E8!";
    insert(*poster, text, 0);
    EXPECT_TRUE(client->waitForText("The quick brown fox jumps over the lazy dog: 0123456789 ÄÖÜ éè!", 15))
        << client->text();
    EXPECT_TRUE(waitUntil([&] { return keyboardMapping(session->display()) == originalMapping; }, 3));
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
    EXPECT_TRUE(waitUntil([&] { return !events.empty() && events.back().keyCode == 8; }, 5));

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

}  // namespace
}  // namespace mosaiko

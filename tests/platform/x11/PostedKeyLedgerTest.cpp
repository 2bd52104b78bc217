#include "platform/x11/PostedKeyLedger.hpp"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace mosaiko {
namespace {

// Our presses come back in the order posted; a press of a key of ours that is not the next one due
// is another tool's, typed between our keys (";o" posted, and a tool's "o" before our ";").
TEST(PostedKeyLedgerTest, ClaimsEachRecordedPressOnceInOrder) {
    PostedKeyLedger ledger(2.0);
    ledger.expect(22, 7, 10.0);
    ledger.expect(200, 8, 10.1);
    ledger.expect(22, 9, 10.2);
    ledger.expect(32, 10, 10.2);

    const struct {
        unsigned keycode;
        std::optional<std::int64_t> claimed;
    } presses[] = {{38, std::nullopt}, {200, std::nullopt},
                   {32, std::nullopt}, {22, 7},
                   {22, std::nullopt}, {200, 8},
                   {32, std::nullopt}, {22, 9},
                   {32, 10},           {32, std::nullopt}};
    for (const auto& press : presses)
        EXPECT_EQ(ledger.claim(press.keycode, 10.3), press.claimed) << "keycode " << press.keycode;
    EXPECT_EQ(ledger.pendingCount(), 0u);
}

// A press typed again comes after its announcement: a press of the same key before that is the
// user's, typed meanwhile; one not announced is claimed as before.
TEST(PostedKeyLedgerTest, AnAnnouncedPressIsOursOnlyAfterItsAnnouncement) {
    PostedKeyLedger ledger(2.0);
    const auto announcement = PostedKeyLedger::announcementUserData;
    const auto retyped = PostedKeyLedger::retypedUserData;
    ledger.expect(28, retyped, 10.0);
    ledger.expect(248, announcement, 10.0);
    ledger.expect(26, retyped, 10.0);
    ledger.expect(248, announcement, 10.0);
    ledger.expect(28, retyped, 10.0);

    EXPECT_EQ(ledger.claim(28, 10.1), retyped);       // not announced
    EXPECT_EQ(ledger.claim(26, 10.1), std::nullopt);  // the user's: its announcement is to come
    EXPECT_EQ(ledger.claim(248, 10.1), announcement);
    EXPECT_EQ(ledger.claim(28, 10.1), std::nullopt);  // announced later still
    EXPECT_EQ(ledger.claim(26, 10.1), retyped);
    EXPECT_EQ(ledger.claim(248, 10.1), announcement);
    EXPECT_EQ(ledger.claim(28, 10.1), retyped);
    EXPECT_EQ(ledger.pendingCount(), 0u);
}

// A press typed before the latest key seen typed when ours was posted went down before ours: a
// tool's press of the same key that waited behind a held one is not ours, also across the server
// clock's wrap; one typed in that millisecond or later may be, and one of unknown time is claimed.
TEST(PostedKeyLedgerTest, APressTypedBeforeOursWasPostedIsNotOurs) {
    const struct {
        unsigned long seen;
        std::optional<unsigned long> typedAt;
        bool ours;
    } cases[] = {{218, 217, false},         {218, 218, true},       {218, 245, true},
                 {218, std::nullopt, true}, {5, 0xFFFFFFF0, false}, {0xFFFFFFF0, 5, true}};
    for (const auto& c : cases) {
        PostedKeyLedger ledger(2.0);
        ledger.noteTyped(c.seen - 1);
        ledger.noteTyped(c.seen);
        ledger.expect(28, 7, 10.0);
        const auto claimed = ledger.claim(28, 10.1, false, std::nullopt, std::nullopt, c.typedAt);
        EXPECT_EQ(claimed.has_value(), c.ours) << c.seen << " " << c.typedAt.value_or(0);
        EXPECT_EQ(ledger.pendingCount(), c.ours ? 0u : 1u);
    }
}

// Presses as typed come ahead of the server's handling of them, in the order posted too: one is
// ours only when it is the next of ours to be typed, and its record stays for the server's turn;
// records the server took, or that lapsed, leave the next one in line.
TEST(PostedKeyLedgerTest, ClaimsTypedPressesInOrderAheadOfTheServer) {
    PostedKeyLedger ledger(2.0);
    ledger.expect(22, 7, 10.0);
    ledger.expect(50, 8, 10.0);
    ledger.expect(32, 9, 10.0);
    const std::pair<unsigned, bool> typed[] = {{32, false}, {22, true}, {22, false}, {50, true}};
    for (const auto& [keycode, ours] : typed) EXPECT_EQ(ledger.claimTyped(keycode, 10.1), ours) << keycode;
    EXPECT_EQ(ledger.claim(22, 10.2), 7);
    EXPECT_EQ(ledger.claim(50, 10.2), 8);
    EXPECT_EQ(ledger.claim(32, 10.2), 9);  // handled before its typed press was seen
    ledger.expect(45, 10, 10.2);
    EXPECT_TRUE(ledger.claimTyped(45, 10.2));
    ledger.expect(23, 11, 12.5);  // 45 lapses
    EXPECT_TRUE(ledger.claimTyped(23, 12.5));
}

// From a character of a text the server dropped on, the characters come back withheld, in order,
// for the text to go on from there; keys that type no character (Shift) pass as ever. A poster
// that only waits for the tap types nothing, unless characters were withheld.
TEST(PostedKeyLedgerTest, FromALostCharacterOnTheTextIsWithheld) {
    PostedKeyLedger ledger(2.0);
    ledger.beginPosting();
    const auto withheld = PostedKeyLedger::withheldUserData;
    const struct {
        unsigned keycode;
        unsigned long keysym;  // 0: no character
        bool lost;
        std::int64_t claimed;
    } presses[] = {{38, 'a', false, 7},
                   {32, 'o', true, withheld},
                   {50, 0, false, 7},
                   {32, 'O', false, withheld},
                   {38, 'a', false, withheld}};
    for (const auto& press : presses) ledger.expect(press.keycode, 7, 10.0, press.keysym);
    for (const auto& press : presses)
        EXPECT_EQ(ledger.claim(press.keycode, 10.1, press.lost), press.claimed) << press.keysym;
    ledger.awaitTheTap();
    EXPECT_TRUE(ledger.isTyping(10.1));
    EXPECT_EQ(ledger.takeWithheld(), (std::vector<unsigned long>{'o', 'O', 'a'}));
    ledger.expect(38, 7, 10.2, 'a');
    EXPECT_EQ(ledger.claim(38, 10.2), 7);  // typed again: no longer withheld
    ledger.awaitTheTap();
    EXPECT_FALSE(ledger.isTyping(10.2));
    EXPECT_TRUE(ledger.takeWithheld().empty());
}

// A press of ours on a spare keycode that held something else when it came (a new keymap emptied
// it) typed something else: the text is withheld from there. A key of the keyboard's own is not
// judged by what its keycode holds; and a claimed press is on its way until the tap lets it go.
TEST(PostedKeyLedgerTest, APressOnAnEmptiedSpareKeycodeIsWithheldFromThere) {
    PostedKeyLedger ledger(2.0);
    const auto withheld = PostedKeyLedger::withheldUserData;
    const struct {
        unsigned keycode;
        unsigned long keysym;
        std::optional<bool> shifted;  // none: on a spare keycode
        unsigned long heldNow;
        std::int64_t claimed;
    } presses[] = {{230, 0x10003b1, std::nullopt, 0x10003b1, 7},
                   {38, 'a', false, 'q', 7},
                   {231, 0x10003b2, std::nullopt, 0, withheld},
                   {38, 'a', false, 'a', withheld}};
    for (const auto& press : presses) ledger.expect(press.keycode, 7, 10.0, press.keysym, press.shifted);
    for (const auto& press : presses) {
        EXPECT_EQ(ledger.claim(press.keycode, 10.1, false, std::nullopt, press.heldNow), press.claimed)
            << press.keycode;
    }
    EXPECT_EQ(ledger.takeWithheld(), (std::vector<unsigned long>{0x10003b2, 'a'}));
    EXPECT_FALSE(ledger.awaitPendingAtMost(0, 0));
    ledger.letGo();
    EXPECT_TRUE(ledger.awaitPendingAtMost(0, 0));
}

TEST(PostedKeyLedgerTest, RecordsNobodyClaimedLapseAndCannotMarkALaterPress) {
    PostedKeyLedger ledger(2.0);
    ledger.expect(22, 7, 10.0);  // posted while no tap was listening
    ledger.expect(23, 7, 11.5);
    EXPECT_EQ(ledger.claim(22, 12.0), 7);  // still within its lifetime
    ledger.expect(22, 7, 12.1);
    EXPECT_EQ(ledger.claim(22, 14.2), std::nullopt);  // lapsed
    EXPECT_EQ(ledger.pendingCount(), 0u);             // the lapsed 23 went with it
}

TEST(PostedKeyLedgerTest, TypingLastsUntilEverythingTakenOnIsTypedAndHasComeBack) {
    PostedKeyLedger ledger(2.0);
    EXPECT_FALSE(ledger.isTyping(10.0));
    EXPECT_FALSE(ledger.retypeLater(38, 0));  // nobody to type it again: the tap lets it pass

    std::vector<unsigned> retyped;
    int owner = 0;
    ledger.setRetyper(&owner, [&](unsigned keycode, unsigned, const std::string&, unsigned long) {
        retyped.push_back(keycode);
    });
    ledger.beginPosting();
    EXPECT_TRUE(ledger.isTyping(10.0));
    EXPECT_TRUE(ledger.retypeLater(38, 0));  // taken on as well
    ledger.expect(22, 7, 10.1);
    ledger.endPosting();
    EXPECT_TRUE(ledger.isTyping(10.2));  // the retyped press is still to come, and 22 to come back
    ledger.endPosting();
    EXPECT_TRUE(ledger.isTyping(10.2));
    EXPECT_EQ(ledger.claim(22, 10.3), 7);
    EXPECT_FALSE(ledger.isTyping(10.3));
    EXPECT_EQ(retyped, std::vector<unsigned>{38});

    // Only its owner removes the retyper; a press that never came back stops counting once lapsed.
    ledger.removeRetyper(&retyped);
    EXPECT_TRUE(ledger.retypeLater(39, 0));
    ledger.endPosting();
    ledger.removeRetyper(&owner);
    EXPECT_FALSE(ledger.retypeLater(40, 0));
    ledger.expect(22, 7, 11.0);
    EXPECT_TRUE(ledger.isTyping(12.9));
    EXPECT_FALSE(ledger.isTyping(13.1));
}

}  // namespace
}  // namespace mosaiko

#include "platform/x11/PostedKeyLedger.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace mosaiko {
namespace {

TEST(PostedKeyLedgerTest, ClaimsEachRecordedPressOnceInOrder) {
    PostedKeyLedger ledger(2.0);
    ledger.expect(22, 7, 10.0);
    ledger.expect(200, 8, 10.1);
    ledger.expect(22, 9, 10.2);

    EXPECT_EQ(ledger.claim(38, 10.3), std::nullopt);  // the user's key
    EXPECT_EQ(ledger.claim(200, 10.3), 8);
    EXPECT_EQ(ledger.claim(22, 10.3), 7);
    EXPECT_EQ(ledger.claim(22, 10.3), 9);
    EXPECT_EQ(ledger.claim(22, 10.3), std::nullopt);
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
    ledger.setRetyper(&owner,
                      [&](unsigned keycode, unsigned, const std::string&) { retyped.push_back(keycode); });
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

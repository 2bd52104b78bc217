#include "platform/x11/PostedKeyLedger.hpp"

#include <gtest/gtest.h>

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

TEST(PostedKeyLedgerTest, RecordsNobodyClaimedLapseAndCannotMarkALaterPress) {
    PostedKeyLedger ledger(2.0);
    ledger.expect(22, 7, 10.0);  // posted while no tap was listening
    ledger.expect(23, 7, 11.5);
    EXPECT_EQ(ledger.claim(22, 12.0), 7);  // still within its lifetime
    ledger.expect(22, 7, 12.1);
    EXPECT_EQ(ledger.claim(22, 14.2), std::nullopt);  // lapsed
    EXPECT_EQ(ledger.pendingCount(), 0u);             // the lapsed 23 went with it
}

}  // namespace
}  // namespace mosaiko

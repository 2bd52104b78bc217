#include "platform/x11/X11DisplaysAhead.hpp"

#include <gtest/gtest.h>

#include <set>

#include "support/XSession.hpp"

namespace mosaiko {
namespace {

TEST(X11DisplaysAheadTest, GivesTheHandedConnectionFirstThenThoseOpenedAheadThenNewOnes) {
    testing::XSession session;
    ASSERT_TRUE(session.ok()) << session.error();
    auto checked = X11Display::open(session.display());
    ASSERT_TRUE(checked);
    Display* first = checked->get();

    X11DisplaysAhead displays(session.display(), std::move(checked), 2);
    std::vector<std::unique_ptr<X11Display>> taken;
    for (int i = 0; i < 4; ++i) taken.push_back(displays.take());
    EXPECT_EQ(taken[0]->get(), first);
    std::set<Display*> distinct;
    for (const auto& display : taken) {
        ASSERT_TRUE(display);
        EXPECT_TRUE(display->isConnected());
        distinct.insert(display->get());
    }
    EXPECT_EQ(distinct.size(), taken.size());
}

TEST(X11DisplaysAheadTest, AnUnreachableDisplayGivesNoConnectionAheadOrLater) {
    X11DisplaysAhead displays(":987", nullptr, 1);
    EXPECT_EQ(displays.take(), nullptr);
    EXPECT_EQ(displays.take(), nullptr);
}

}  // namespace
}  // namespace mosaiko

#include "picker/PanelPlacement.hpp"
#include "platform/fake/FakeScreenInfo.hpp"

#include <gtest/gtest.h>

namespace mosaiko {
namespace {

using Point = PanelPlacement::Point;
using Rect = PanelPlacement::Rect;
using Screen = PanelPlacement::Screen;

const Screen laptop{Rect{0, 0, 1440, 900}, Rect{0, 0, 1440, 875}};

Rect placeOnLaptop(Point p) {
    return PanelPlacement::frameNear(p, {laptop}, laptop);
}

TEST(PanelPlacementTest, CentresUnderThePointerAndKeepsInsideTheVisibleFrame) {
    EXPECT_EQ(placeOnLaptop({1000, 500}), (Rect{680, 312, 640, 170}));
    // Too far right: clamped to 1440 - 652.
    EXPECT_EQ(placeOnLaptop({1430, 500}).x, 788);
    // Bottom-left corner: both edges raised to the margin, the panel ends up under the pointer.
    EXPECT_EQ(placeOnLaptop({100, 100}), (Rect{12, 12, 640, 170}));
    // Near the top: 870 - 188 = 682 is below the cap 875 - 182 = 693 and stays.
    EXPECT_EQ(placeOnLaptop({1000, 870}).y, 682);
}

TEST(PanelPlacementTest, PicksTheScreenWhoseFrameHoldsThePointer) {
    const Screen left{Rect{0, 0, 1440, 900}, Rect{0, 0, 1440, 875}};
    const Screen right{Rect{1440, 0, 1920, 1080}, Rect{1440, 0, 1920, 1080}};
    // The shared edge x = 1440 belongs to the right screen (minimum edge inclusive).
    const Rect frame = PanelPlacement::frameNear({1440, 500}, {left, right}, left);
    EXPECT_EQ(frame.x, 1452);
    EXPECT_EQ(frame.y, 312);
    // Just left of it, the left screen's cap applies.
    EXPECT_EQ(PanelPlacement::frameNear({1439.5, 500}, {left, right}, left).x, 788);
}

TEST(PanelPlacementTest, FallsBackToTheMainScreenThenToAFixedArea) {
    const Screen main{Rect{0, 0, 1000, 800}, Rect{0, 40, 1000, 760}};
    // Outside every screen: the main screen's visible frame bounds the panel.
    EXPECT_EQ(PanelPlacement::frameNear({5000, 5000}, {main}, main), (Rect{348, 618, 640, 170}));
    // No screen at all: 800 x 600 at the origin.
    EXPECT_EQ(PanelPlacement::frameNear({5000, 5000}, {}, std::nullopt), (Rect{148, 418, 640, 170}));
    EXPECT_EQ(PanelPlacement::visibleArea({10, 10}, {}, std::nullopt), (Rect{0, 0, 800, 600}));
}

TEST(PanelPlacementTest, UpperBoundsWinInAnAreaSmallerThanThePanel) {
    const Screen tiny{Rect{0, 0, 600, 150}, Rect{0, 0, 600, 150}};
    const Rect frame = PanelPlacement::frameNear({300, 100}, {tiny}, tiny);
    EXPECT_EQ(frame.x, 600 - 652);
    EXPECT_EQ(frame.y, 150 - 182);
}

TEST(PanelPlacementTest, HoverUnlocksFromAMoveOfOnePoint) {
    const Point origin{100, 100};
    EXPECT_FALSE(PanelPlacement::hasMovedEnoughToUnlockHover(origin, origin));
    EXPECT_FALSE(PanelPlacement::hasMovedEnoughToUnlockHover(origin, {100.5, 100}));
    EXPECT_FALSE(PanelPlacement::hasMovedEnoughToUnlockHover(origin, {100.7, 100.7}));  // d² = 0.98
    EXPECT_TRUE(PanelPlacement::hasMovedEnoughToUnlockHover(origin, {100, 99}));        // d² = 1
    EXPECT_TRUE(PanelPlacement::hasMovedEnoughToUnlockHover(origin, {100.8, 100.8}));   // d² = 1.28
}

}  // namespace
}  // namespace mosaiko

namespace mosaiko {
namespace {

TEST(PanelPlacementTest, UsesTheScreensOfAScreenInfoWithThePrimaryAsMain) {
    FakeScreenInfo screens;
    screens.screenList = {{{0, 0, 1440, 900}, {0, 0, 1440, 875}},
                          {{1440, 0, 1920, 1080}, {1440, 0, 1920, 1080}}};
    EXPECT_EQ(PanelPlacement::frameNear({1440, 500}, screens).x, 1452);
    // Off every screen: the primary's visible frame bounds the panel.
    EXPECT_EQ(PanelPlacement::frameNear({-500, 2000}, screens), (PanelPlacement::Rect{12, 693, 640, 170}));
    screens.screenList.clear();
    EXPECT_EQ(PanelPlacement::frameNear({100, 100}, screens), (PanelPlacement::Rect{12, 12, 640, 170}));
}

}  // namespace
}  // namespace mosaiko

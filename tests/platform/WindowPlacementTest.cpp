#include "platform/WindowPlacement.hpp"

#include <gtest/gtest.h>

namespace mosaiko {
namespace {

using Rect = WindowPlacement::Rect;
using Point = WindowPlacement::Point;

// A 1440 x 900 primary screen with a 1920 x 1080 one on its right.
const std::vector<Rect> kScreens{{0, 0, 1440, 900}, {1440, 0, 1920, 1080}};

TEST(WindowPlacement, OpensOnTheScreenOfTheActiveWindowElseOfThePointer) {
    struct Case {
        std::optional<Rect> active;
        std::optional<Point> pointer;
        std::size_t screen;
    };
    for (const Case& c : {
             Case{Rect{1500, 100, 800, 600}, Point{10, 10}, 1},  // the active window wins
             Case{Rect{1100, 100, 800, 600}, std::nullopt, 1},   // the screen with most of it
             Case{Rect{1200, 100, 400, 600}, std::nullopt, 0},
             Case{Rect{-900, 0, 800, 600}, Point{3359, 1079}, 1},  // off every screen: the pointer's
             Case{std::nullopt, Point{3359, 1079}, 1},             // the right screen's last pixel
             Case{std::nullopt, Point{1440, 0}, 1},
             Case{std::nullopt, Point{1439, 899}, 0},
             Case{std::nullopt, std::nullopt, 0},
         })
        EXPECT_EQ(WindowPlacement::screenFor(kScreens, c.active, c.pointer), c.screen)
            << (c.pointer ? c.pointer->x : -1);
}

TEST(WindowPlacement, CentresTheWindowWithItsFrameAndShrinksItOnlyWhereItMust) {
    const WindowPlacement::Margins frame{4, 30, 4, 4};
    struct Case {
        Rect available;
        Rect content;
    };
    for (const Case& c : {
             // Room enough: the usual size, centred frame and all.
             Case{{0, 0, 1440, 876}, {270, 61, 900, 780}},
             Case{{1440, 24, 1920, 1056}, {1950, 175, 900, 780}},
             // A pixel left over goes to the right and below: whole pixels only.
             Case{{0, 0, 1441, 877}, {270, 61, 900, 780}},
             // 1366 x 768 less a panel; 1.5 times 1920 x 1080 (1280 x 720 of the program's points).
             Case{{0, 0, 1366, 740}, {233, 30, 900, 706}},
             Case{{0, 24, 1280, 696}, {190, 54, 900, 662}},
             // Narrower than the window: as wide as there is.
             Case{{100, 0, 600, 900}, {104, 73, 592, 780}},
         })
        EXPECT_EQ(WindowPlacement::place({900, 780}, frame, c.available), c.content)
            << c.available.width << " x " << c.available.height;
}

}  // namespace
}  // namespace mosaiko

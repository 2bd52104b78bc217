#include "platform/ScreenInfo.hpp"

#include <gtest/gtest.h>

namespace mosaiko {
namespace {

using Rect = ScreenInfo::Rect;
using Point = ScreenInfo::Point;

TEST(ScreenInfoTest, ConvertsDesktopCoordinatesToOnesRisingFromThePrimaryScreensBottomLeft) {
    // A primary screen of 1440 x 900 at the desktop's origin and a second one to its right, taller
    // and placed 100 px higher in desktop coordinates.
    const Rect primary{0, 0, 1440, 900};
    EXPECT_EQ(ScreenInfo::fromDesktop(primary, primary), (Rect{0, 0, 1440, 900}));
    EXPECT_EQ(ScreenInfo::fromDesktop(Rect{1440, -100, 1920, 1080}, primary), (Rect{1440, -80, 1920, 1080}));
    EXPECT_EQ(ScreenInfo::fromDesktop(Point{0, 0}, primary), (Point{0, 900}));
    EXPECT_EQ(ScreenInfo::fromDesktop(Point{1000, 400}, primary), (Point{1000, 500}));

    // A primary screen that does not start at the desktop's origin.
    const Rect offset{200, 50, 800, 600};
    EXPECT_EQ(ScreenInfo::fromDesktop(offset, offset), (Rect{0, 0, 800, 600}));
    EXPECT_EQ(ScreenInfo::fromDesktop(Rect{0, 0, 200, 100}, offset), (Rect{-200, 550, 200, 100}));

    for (const Rect& r : {Rect{1440, -100, 1920, 1080}, Rect{3, 4, 5, 6}}) {
        EXPECT_EQ(ScreenInfo::toDesktop(ScreenInfo::fromDesktop(r, offset), offset), r);
    }
    EXPECT_EQ(ScreenInfo::toDesktop(ScreenInfo::fromDesktop(Point{7, 9}, offset), offset), (Point{7, 9}));
}

TEST(ScreenInfoTest, RectanglesContainTheirMinimumEdgesButNotTheirMaximumOnes) {
    const Rect r{0, 0, 1440, 900};
    EXPECT_TRUE(r.contains({0, 0}));
    EXPECT_TRUE(r.contains({1439.5, 899.5}));
    EXPECT_FALSE(r.contains({1440, 500}));
    EXPECT_FALSE(r.contains({500, 900}));
    EXPECT_FALSE(r.contains({-0.5, 10}));
}

}  // namespace
}  // namespace mosaiko

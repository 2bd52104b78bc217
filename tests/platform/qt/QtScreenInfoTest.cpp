#include "platform/qt/QtScreenInfo.hpp"

#include <gtest/gtest.h>

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace mosaiko {
namespace {

TEST(QtScreenInfoTest, ReportsThePrimaryScreenFirstWithTheOriginAtItsBottomLeft) {
    QScreen* primary = QGuiApplication::primaryScreen();
    ASSERT_NE(primary, nullptr);
    QtScreenInfo info;
    const auto screens = info.screens();
    ASSERT_EQ(screens.size(), static_cast<std::size_t>(QGuiApplication::screens().size()));
    const QRect geometry = primary->geometry();
    EXPECT_EQ(screens[0].frame,
              (ScreenInfo::Rect{0, 0, double(geometry.width()), double(geometry.height())}));
    const QRect available = primary->availableGeometry();
    EXPECT_EQ(screens[0].visibleFrame.maxY(), double(geometry.bottom() + 1 - available.top()));

    // The pointer, converted the same way: a point 10 px below the top-left corner of the primary
    // screen lies 10 pt below its top edge.
    QCursor::setPos(primary, geometry.topLeft() + QPoint(30, 10));
    const QPoint pos = QCursor::pos(primary);
    EXPECT_EQ(info.pointerLocation(),
              (ScreenInfo::Point{double(pos.x() - geometry.x()), double(geometry.bottom() + 1 - pos.y())}));

    // Where scaling rounds the pointer's place past the screen's last pixel, it stays on the screen.
    QCursor::setPos(primary, geometry.bottomRight() + QPoint(1, 1));
    EXPECT_EQ(info.pointerLocation(), (ScreenInfo::Point{double(geometry.width() - 1), 1.0}));
}

}  // namespace
}  // namespace mosaiko

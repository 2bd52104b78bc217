#include "platform/qt/QtScreenInfo.hpp"

#include <QCursor>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <algorithm>

namespace mosaiko {

namespace {

ScreenInfo::Rect rectFrom(const QRect& r) {
    return {static_cast<double>(r.x()), static_cast<double>(r.y()), static_cast<double>(r.width()),
            static_cast<double>(r.height())};
}

ScreenInfo::Rect primaryDesktopFrame() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? rectFrom(primary->geometry()) : ScreenInfo::Rect{};
}

// Where Qt scales, it rounds the pointer's place to whole points: on a screen's last column or row
// it lands just past the screen (at 2x, x 3359 of a screen from 1440 to 3360 becomes 2400, the end
// of that screen's 960 points), on no screen. The pointer is on the screen nearest to that place.
QPoint onNearestScreen(QPoint p) {
    const QScreen* nearest = nullptr;
    long long shortest = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect r = screen->geometry();
        if (r.contains(p)) return p;
        const long long dx = std::max({r.left() - p.x(), 0, p.x() - r.right()});
        const long long dy = std::max({r.top() - p.y(), 0, p.y() - r.bottom()});
        if (!nearest || dx * dx + dy * dy < shortest) {
            nearest = screen;
            shortest = dx * dx + dy * dy;
        }
    }
    if (!nearest) return p;
    const QRect r = nearest->geometry();
    return {std::clamp(p.x(), r.left(), r.right()), std::clamp(p.y(), r.top(), r.bottom())};
}

}  // namespace

std::vector<ScreenInfo::Screen> QtScreenInfo::screens() const {
    std::vector<Screen> result;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary) return result;
    const Rect primaryFrame = rectFrom(primary->geometry());
    auto add = [&](const QScreen* screen) {
        result.push_back({fromDesktop(rectFrom(screen->geometry()), primaryFrame),
                          fromDesktop(rectFrom(screen->availableGeometry()), primaryFrame)});
    };
    add(primary);
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != primary) add(screen);
    }
    return result;
}

ScreenInfo::Point QtScreenInfo::pointerLocation() const {
    const QPoint p = onNearestScreen(QCursor::pos());
    return fromDesktop(Point{static_cast<double>(p.x()), static_cast<double>(p.y())}, primaryDesktopFrame());
}

}  // namespace mosaiko

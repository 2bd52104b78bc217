#include "platform/qt/QtScreenInfo.hpp"

#include <QCursor>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>

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
    const QPoint p = QCursor::pos();
    return fromDesktop(Point{static_cast<double>(p.x()), static_cast<double>(p.y())}, primaryDesktopFrame());
}

}  // namespace mosaiko

#pragma once

#include <vector>

namespace mosaiko {

// The displays and the pointer, in points with the origin at the bottom-left corner of the primary
// screen and y growing upwards, so that placement arithmetic written for that convention holds.
class ScreenInfo {
  public:
    struct Point {
        double x = 0;
        double y = 0;
        bool operator==(const Point&) const = default;
    };

    struct Rect {
        double x = 0;
        double y = 0;
        double width = 0;
        double height = 0;

        double minX() const { return x; }
        double minY() const { return y; }
        double maxX() const { return x + width; }
        double maxY() const { return y + height; }
        // Minimum edges inclusive, maximum edges exclusive.
        bool contains(Point p) const {
            return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
        }
        bool operator==(const Rect&) const = default;
    };

    struct Screen {
        Rect frame;
        Rect visibleFrame;  // the frame without panels and docks
        bool operator==(const Screen&) const = default;
    };

    virtual ~ScreenInfo() = default;

    // Every screen, the primary one first.
    virtual std::vector<Screen> screens() const = 0;
    virtual Point pointerLocation() const = 0;

    // Conversions from and to desktop coordinates (origin at the top-left corner of the virtual
    // desktop, y growing downwards), given the primary screen's frame in desktop coordinates.
    static Point fromDesktop(Point p, const Rect& primaryDesktopFrame) {
        return {p.x - primaryDesktopFrame.x, primaryDesktopFrame.maxY() - p.y};
    }
    static Point toDesktop(Point p, const Rect& primaryDesktopFrame) {
        return {p.x + primaryDesktopFrame.x, primaryDesktopFrame.maxY() - p.y};
    }
    static Rect fromDesktop(const Rect& r, const Rect& primaryDesktopFrame) {
        return {r.x - primaryDesktopFrame.x, primaryDesktopFrame.maxY() - r.maxY(), r.width, r.height};
    }
    static Rect toDesktop(const Rect& r, const Rect& primaryDesktopFrame) {
        return {r.x + primaryDesktopFrame.x, primaryDesktopFrame.maxY() - r.maxY(), r.width, r.height};
    }
};

}  // namespace mosaiko

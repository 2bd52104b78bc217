#include "platform/qt/ActiveScreen.hpp"

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <cmath>
#include <optional>
#include <vector>

#include "platform/WindowPlacement.hpp"
#include "platform/x11/X11Display.hpp"

// After Qt's headers: Xlib's macros clash with them.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace mosaiko {

namespace {

using Rect = WindowPlacement::Rect;
using Point = WindowPlacement::Point;

Rect rect(int x, int y, int width, int height) {
    return {static_cast<double>(x), static_cast<double>(y), static_cast<double>(width),
            static_cast<double>(height)};
}

Display* qtDisplay() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

// A screen in the X server's pixels: Qt keeps a screen's top-left corner as the server has it and
// divides its size by the scale.
Rect nativeRect(const QScreen& screen) {
    const QRect r = screen.geometry();
    const double scale = screen.devicePixelRatio();
    return rect(r.x(), r.y(), static_cast<int>(std::lround(r.width() * scale)),
                static_cast<int>(std::lround(r.height() * scale)));
}

std::optional<Rect> activeWindow(Display* display) {
    const X11ErrorTrap trap;
    const Window root = DefaultRootWindow(display);
    const Atom active = XInternAtom(display, "_NET_ACTIVE_WINDOW", True);
    if (active == None) return std::nullopt;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, root, active, 0, 1, False, XA_WINDOW, &type, &format, &count, &after,
                           &data) != Success ||
        !data)
        return std::nullopt;
    const Window window =
        format == 32 && count == 1 ? static_cast<Window>(*reinterpret_cast<long*>(data)) : None;
    XFree(data);
    XWindowAttributes attributes;
    int x = 0;
    int y = 0;
    Window child = None;
    if (window == None || !XGetWindowAttributes(display, window, &attributes) ||
        attributes.map_state != IsViewable ||
        !XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child))
        return std::nullopt;
    return rect(x, y, attributes.width, attributes.height);
}

std::optional<Point> pointer(Display* display) {
    Window root = None;
    Window child = None;
    int x = 0;
    int y = 0;
    int windowX = 0;
    int windowY = 0;
    unsigned int mask = 0;
    if (!XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &windowX, &windowY, &mask))
        return std::nullopt;
    return Point{static_cast<double>(x), static_cast<double>(y)};
}

}  // namespace

QScreen* ActiveScreen::screen() {
    QScreen* primary = QGuiApplication::primaryScreen();
    Display* display = qtDisplay();
    if (!primary || !display) return nullptr;
    std::vector<QScreen*> screens{primary};
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != primary) screens.push_back(screen);
    std::vector<Rect> rects;
    for (const QScreen* screen : screens) rects.push_back(nativeRect(*screen));
    return screens[WindowPlacement::screenFor(rects, activeWindow(display), pointer(display))];
}

QMargins ActiveScreen::frameMargins() {
    for (const QWindow* window : QGuiApplication::topLevelWindows()) {
        if (!window->isVisible()) continue;
        const QMargins margins = window->frameMargins();
        if (margins.top() > 0) return margins;
    }
    // A title bar and a thin border, as most window managers draw them.
    return {4, 30, 4, 4};
}

}  // namespace mosaiko

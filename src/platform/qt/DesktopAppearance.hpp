#pragma once

#include <QColor>
#include <functional>
#include <optional>

class QWidget;

namespace mosaiko {

// Light or dark and the accent colour, as the desktop's palette gives them. Qt 6.4 has no colour
// scheme hint and no accent role: dark means the palette's window colour is dark, the accent is the
// highlight colour. Tests and the PNG renderer force either value with the overrides.
class DesktopAppearance {
  public:
    static bool isDark();
    static QColor accent();

    static void overrideDark(std::optional<bool> dark);
    static void overrideAccent(std::optional<QColor> accent);

    // Whether a translucent window blends with what lies below it: where a compositing manager
    // runs on the X screen, and off X11. Without one its transparent parts show black, so rounded
    // windows are shaped instead. Asked anew each time: a compositor may start or stop.
    static bool translucentWindowsBlend();
    static void overrideTranslucentWindowsBlend(std::optional<bool> blend);

    // Colours that follow isDark(): the palette's own when it agrees, standard ones otherwise
    // (a forced dark look on a light palette).
    static QColor windowBackground();
    static QColor primaryText();
    static QColor secondaryText();

    // `color` with its alpha set to `opacity`.
    static QColor withOpacity(QColor color, double opacity);

    // Keeps `widget` in the desktop's look: runs `apply` (which sets the widget's palette, or
    // anything else it takes from the look) now, and again whenever the desktop's palette changes
    // while the widget lives (light and dark, the accent). A window hears of the desktop's palette
    // itself; a widget inside one, when the palette its window sets reaches it. Widgets that take
    // every colour from their palette when they paint need nothing of this.
    static void follow(QWidget& widget, std::function<void()> apply);
};

}  // namespace mosaiko

#pragma once

#include <QColor>
#include <functional>
#include <optional>

class QPalette;
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
    // windows are shaped instead. A compositor may start or stop: the answer follows it, without
    // asking the display server each time.
    static bool translucentWindowsBlend();
    static void overrideTranslucentWindowsBlend(std::optional<bool> blend);

    // Colours that follow isDark(): the palette's own when it agrees, standard ones otherwise
    // (a forced dark look on a light palette).
    static QColor windowBackground();
    static QColor primaryText();
    static QColor secondaryText();

    // `color` with its alpha set to `opacity`.
    static QColor withOpacity(QColor color, double opacity);
    // What shows where `top`, at its alpha, is drawn over the opaque `bottom`.
    static QColor over(const QColor& top, const QColor& bottom);

    // How far apart two colours stand for the eye: the ratio of their relative luminances, each
    // plus 0.05 (1 for equal colours, 21 for black on white); alpha is not counted.
    static double contrastRatio(const QColor& a, const QColor& b);
    // `ink` where it stands out from `background` by `minimum`; otherwise the same hue made
    // lighter or darker (whichever can go further from the background) just enough, or as far as
    // it goes. Symbols and texts in the accent colour stay readable on whatever a desktop's
    // palette puts behind them, and a tinted button under white text is darkened the same way.
    static QColor readableOn(const QColor& ink, const QColor& background, double minimum = 3.0);
    // White or near-black, whichever reads better on `fill` (a text on an accent-coloured button).
    static QColor textOn(const QColor& fill);

    // Keeps `widget` in the desktop's look: runs `apply` (which sets the widget's palette, or
    // anything else it takes from the look) now, and again whenever the desktop's palette changes
    // while the widget lives (light and dark, the accent). A window hears of the desktop's palette
    // itself; a widget inside one, when the palette its window sets reaches it. Widgets that take
    // every colour from their palette when they paint need nothing of this.
    static void follow(QWidget& widget, std::function<void()> apply);
    // Keeps the colours `set` puts in `widget`'s palette (a red warning, a divider's tint) through
    // every change of the desktop's look, also one that hands each widget the new palette whole.
    static void keepColours(QWidget& widget, std::function<void(QPalette&)> set);
};

}  // namespace mosaiko

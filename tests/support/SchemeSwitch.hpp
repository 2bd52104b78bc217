#pragma once

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QRect>
#include <utility>

namespace mosaiko::testing {

// The desktop switching between light and dark while windows are open: the application palette
// with the dark values of the roles a desktop's dark scheme changes; disabled texts dimmed, as a
// scheme has them (a render would show disabled buttons as enabled otherwise).
inline QPalette darkDesktopPalette(QPalette palette) {
    for (auto [role, color] : {std::pair{QPalette::Window, QColor(0x2b, 0x2b, 0x2d)},
                               {QPalette::WindowText, QColor(0xf2, 0xf2, 0xf2)},
                               {QPalette::Base, QColor(0x1e, 0x1e, 0x20)},
                               {QPalette::Text, QColor(0xf2, 0xf2, 0xf2)},
                               {QPalette::Button, QColor(0x3a, 0x3a, 0x3c)},
                               {QPalette::ButtonText, QColor(0xf2, 0xf2, 0xf2)}})
        palette.setColor(role, color);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, QColor(0x80, 0x80, 0x84));
    return palette;
}

// Where two images of one size differ: the number of pixels and the rectangle around them.
struct PixelDifference {
    int pixels = 0;
    QRect bounds;
};

inline PixelDifference pixelDifference(const QImage& a, const QImage& b) {
    PixelDifference difference;
    if (a.size() != b.size()) return {a.width() * a.height(), a.rect()};
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) {
                ++difference.pixels;
                difference.bounds |= QRect(x, y, 1, 1);
            }
    return difference;
}

}  // namespace mosaiko::testing

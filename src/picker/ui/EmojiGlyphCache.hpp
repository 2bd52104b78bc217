#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QString>

namespace mosaiko {

// The texts of the picker's tiles, each drawn once into an image and measured once. Measuring or
// shaping a colour emoji makes the font engine decode its bitmap every time, which cost most of a
// keystroke's redraw; an image keyed by text, font (family, size, weight), screen scale and colour
// is drawn at the cost of a copy instead.
class EmojiGlyphCache {
  public:
    // How a text is fitted into its box: shrunk down to `minimumScale` of its size, then cut with an
    // ellipsis at the end (when `elide`) or clipped; centred vertically and aligned `horizontal`.
    struct Fitting {
        double minimumScale = 1.0;
        bool elide = false;
        Qt::Alignment horizontal = Qt::AlignHCenter;
    };

    // The text's advance at `font`, in device-independent pixels.
    static double width(const QString& text, const QFont& font);

    // Draws `text` fitted into `box`, at the scale of the painter's device.
    static void draw(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
                     const QColor& color, const Fitting& fitting);

    // How many images have been drawn since the start; a drawing served from the cache adds none.
    static long imagesDrawn();
};

}  // namespace mosaiko

#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QString>

namespace mosaiko {

// Text drawn into a fixed box the way the library's tiles, rows and preview show it: at its full
// size when it fits, else shrunk down to a smallest scale, and cut with an ellipsis only when even
// that does not fit in the allowed lines.
class LibraryText {
  public:
    struct Fitting {
        int maxLines = 1;
        double minimumScale = 1.0;
        Qt::Alignment alignment = Qt::AlignCenter;
    };

    static void draw(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
                     const QColor& color, const Fitting& fitting);

    // The font size (in pixels) the text is drawn at.
    static int fittedPixelSize(const QString& text, const QFont& font, const QSizeF& box,
                               const Fitting& fitting);

    // The text in a box `width` wide that grows to hold it: the height its lines take at the size
    // it is drawn at, and whether it is cut (lines or width ran out even at the smallest scale).
    struct Measure {
        double height = 0;
        bool truncated = false;
    };
    static Measure measure(const QString& text, const QFont& font, double width, const Fitting& fitting);
};

}  // namespace mosaiko

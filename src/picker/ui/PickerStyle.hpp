#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QRegion>
#include <QString>
#include <functional>

class QWidget;

namespace mosaiko {

// Drawing shared by the picker's views: the tile shape with its inner border, the selected look
// (accent at 0.22 inside, accent at 0.6 on the border) and text fitted to a width.
class PickerStyle {
  public:
    static QColor black(double opacity);
    static QColor accent(double opacity);
    static QColor selectedFill() { return accent(0.22); }
    static QColor selectedBorder() { return accent(0.6); }

    // The corner radius of the panel's rounded background.
    static constexpr double panelCornerRadius = 16;

    // Whether `rect` covers whole device pixels of the painter's device, so that an image of it is
    // copied unchanged rather than resampled.
    static bool landsOnWholePixels(const QPainter& painter, const QRectF& rect);

    // A rounded rectangle filled with `fill`, then stroked with a 1 pt line inside its edge; where
    // it lands on whole device pixels, copied from an image of it.
    static void paintTile(QPainter& painter, const QRectF& rect, double radius, const QColor& fill,
                          const QColor& border);

    struct FittedText {
        QFont font;
        QString text;  // elided when it did not fit even at the smallest scale
        double width = 0;
    };
    // Shrinks `font` down to `minimumScale` of its size until `text` fits `maxWidth`; when it still
    // does not fit, elides the end (when `elide`) or leaves it to be clipped.
    static FittedText fit(const QString& text, const QFont& font, double maxWidth, double minimumScale,
                          bool elide);

    // Cuts the top-level `window` to `outline` where translucent windows do not blend (no
    // compositor), so that what lies outside its drawn shape is not shown black; elsewhere the
    // window keeps its full rectangle.
    static void shapeWindow(QWidget& window, const QPainterPath& outline);
    // The same with the shape made only when it is needed (a window shown often keeps its own).
    static void shapeWindow(QWidget& window, const std::function<QRegion()>& shape);
    static QRegion shapeOf(const QPainterPath& outline);

    // Draws a symbol image of `points` size centred in `rect`.
    static void paintSymbol(QPainter& painter, const QString& name, const QColor& color, double points,
                            const QRectF& rect, bool bold = false);
};

}  // namespace mosaiko

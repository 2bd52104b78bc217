#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <filesystem>
#include <optional>

class QPainter;
class QRectF;

namespace mosaiko {

// The tray icon: the bundled SVG when it can be read, else a face drawn in code. A tray's
// background is its own (a light panel under a dark desktop palette, or the reverse), and nothing
// tells a program which it is: the face is drawn in a dark ink on a light tile inside a light
// edge, which reads on light and dark trays alike.
class StatusBarIcon {
  public:
    static constexpr int kPointSize = 18;
    static QColor ink() { return {0x1d, 0x1d, 0x1f}; }
    static QColor paper() { return {0xf5, 0xf5, 0xf7}; }

    static QIcon make(const std::optional<std::filesystem::path>& resource);
    // The shape in ink on its paper at `pixels` square (`scale` pixels to a point).
    static QImage onPaper(const QImage& shape, int scale);
    // One rendering at `pixels` square; a null image when the resource cannot be read.
    static QImage renderResource(const std::filesystem::path& resource, int pixels, const QColor& color);
    static QImage renderFallback(int pixels, const QColor& color);
    // The drawn face on a 24 x 24 grid centred in `rect`.
    static void drawFallback(QPainter& painter, const QRectF& rect, const QColor& color);
};

}  // namespace mosaiko

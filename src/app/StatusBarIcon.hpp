#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <filesystem>
#include <optional>

class QPainter;
class QRectF;

namespace mosaiko {

// The tray icon: the bundled SVG when it can be read, else a face drawn in code. Either way it is
// one colour (the theme's text colour), as a tray shows monochrome icons over light and dark panels.
class StatusBarIcon {
  public:
    static constexpr int kPointSize = 18;

    static QIcon make(const std::optional<std::filesystem::path>& resource, const QColor& color);
    // One rendering at `pixels` square; a null image when the resource cannot be read.
    static QImage renderResource(const std::filesystem::path& resource, int pixels, const QColor& color);
    static QImage renderFallback(int pixels, const QColor& color);
    // The drawn face on a 24 x 24 grid centred in `rect`.
    static void drawFallback(QPainter& painter, const QRectF& rect, const QColor& color);
};

}  // namespace mosaiko

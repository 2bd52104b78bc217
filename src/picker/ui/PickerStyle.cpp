#include "picker/ui/PickerStyle.hpp"

#include <QFontMetricsF>
#include <QHash>
#include <QPainterPath>
#include <QPixmap>
#include <QRegion>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/MixedTextLine.hpp"
#include "platform/qt/SymbolImage.hpp"

namespace mosaiko {

QColor PickerStyle::black(double opacity) {
    return DesktopAppearance::withOpacity(Qt::black, opacity);
}

QColor PickerStyle::accent(double opacity) {
    return DesktopAppearance::withOpacity(DesktopAppearance::accent(), opacity);
}

namespace {

void drawTile(QPainter& painter, const QRectF& rect, double radius, const QColor& fill,
              const QColor& border) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (fill.alpha() > 0) {
        QPainterPath path;
        path.addRoundedRect(rect, radius, radius);
        painter.fillPath(path, fill);
    }
    if (border.alpha() > 0) {
        // A 1 pt line inside the edge: the stroke runs half a point in from the outline.
        const QRectF inner = rect.adjusted(0.5, 0.5, -0.5, -0.5);
        painter.setPen(QPen(border, 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(inner, std::max(0.0, radius - 0.5), std::max(0.0, radius - 0.5));
    }
    painter.restore();
}

// A tile's outline image is looked up for every tile of every redraw: by values, not by a text.
struct TileKey {
    double width;
    double height;
    double radius;
    QRgb fill;
    QRgb border;
    double scale;
    bool operator==(const TileKey&) const = default;
};

size_t qHash(const TileKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.width, key.height, key.radius, key.fill, key.border, key.scale);
}

QHash<TileKey, QPixmap>& tileImages() {
    static QHash<TileKey, QPixmap> images;
    return images;
}

bool isWhole(double value) {
    return std::abs(value - std::round(value)) < 1e-6;
}

// Lines of Qt's raster engine split across its thread pool above some height: for a panel-sized
// tile, waiting for those threads cost more than the copy itself, so copies are made in bands.
constexpr int kBand = 64;
// How far a large tile's image runs past its corners along x: the middle repeats it.
constexpr int kMiddleWidth = 256;

// One copy along an axis: `length` device pixels from `source` in the image to `target`.
struct Piece {
    int target;
    int source;
    int length;
};

// The copies along an axis of `length` pixels from an image of `kept` pixels whose ends
// (`corner` pixels each) are the tile's and whose middle repeats as often as needed.
std::vector<Piece> piecesAlong(int length, int kept, int corner, int chunk) {
    std::vector<Piece> pieces;
    auto add = [&](int target, int source, int count, bool repeats) {
        for (int i = 0; i < count; i += chunk) {
            pieces.push_back({target + i, source + (repeats ? 0 : i), std::min(chunk, count - i)});
        }
    };
    if (length == kept) {
        add(0, 0, length, false);
    } else {
        add(0, 0, corner, false);
        add(corner, corner, length - 2 * corner, true);
        add(length - corner, kept - corner, corner, false);
    }
    return pieces;
}

}  // namespace

bool PickerStyle::landsOnWholePixels(const QPainter& painter, const QRectF& rect) {
    const double scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QTransform& transform = painter.worldTransform();
    const QPointF origin = transform.map(rect.topLeft()) * scale;
    return transform.type() <= QTransform::TxTranslate && isWhole(origin.x()) && isWhole(origin.y()) &&
           isWhole(rect.width() * scale) && isWhole(rect.height() * scale);
}

void PickerStyle::paintTile(QPainter& painter, const QRectF& rect, double radius, const QColor& fill,
                            const QColor& border) {
    // Antialiased rounded outlines cost more than all else a tile draws, and a strip draws the same
    // few again and again: each is drawn once into an image, which is copied where it lands on
    // whole device pixels (elsewhere a copy would be resampled, so it is drawn directly).
    if (!landsOnWholePixels(painter, rect)) {
        drawTile(painter, rect, radius, fill, border);
        return;
    }
    const double scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixels = (rect.size() * scale).toSize();
    // A large tile (the panel's own background) is kept as its corners and a stretch of middle,
    // which the copy repeats: between the corners every row and every column of a rounded outline
    // is the same, and a panel-sized image kept for the program's life would cost half a megabyte.
    const int corner = static_cast<int>(std::ceil((radius + 1) * scale)) + 1;
    const QSize kept(std::min(pixels.width(), 2 * corner + kMiddleWidth),
                     std::min(pixels.height(), 2 * corner + kBand));
    const TileKey key{double(kept.width()), double(kept.height()), radius, fill.rgba(), border.rgba(), scale};
    auto& tiles = tileImages();
    auto found = tiles.find(key);
    if (found == tiles.end()) {
        // Tiles come in a few dozen sizes and colours; should they ever pile up, start afresh.
        if (tiles.size() >= 512) tiles.clear();
        QPixmap image(kept);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::transparent);
        QPainter tilePainter(&image);
        drawTile(tilePainter, QRectF(QPointF(0, 0), QSizeF(kept) / scale), radius, fill, border);
        tilePainter.end();
        found = tiles.insert(key, image);
    }
    const QPixmap& tile = *found;
    const std::vector<Piece> columns = piecesAlong(pixels.width(), kept.width(), corner, kMiddleWidth);
    for (const Piece& row : piecesAlong(pixels.height(), kept.height(), corner, kBand)) {
        for (const Piece& column : columns) {
            const QRectF target(rect.topLeft() + QPointF(column.target, row.target) / scale,
                                QSizeF(column.length, row.length) / scale);
            painter.drawPixmap(target, tile, QRectF(column.source, row.source, column.length, row.length));
        }
    }
}

void PickerStyle::shapeWindow(QWidget& window, const QPainterPath& outline) {
    shapeWindow(window, [&outline] { return shapeOf(outline); });
}

void PickerStyle::shapeWindow(QWidget& window, const std::function<QRegion()>& shape) {
    if (DesktopAppearance::translucentWindowsBlend()) {
        window.clearMask();
    } else {
        window.setMask(shape());
    }
}

QRegion PickerStyle::shapeOf(const QPainterPath& outline) {
    return QRegion(outline.toFillPolygon().toPolygon(), Qt::WindingFill);
}

PickerStyle::FittedText PickerStyle::fit(const QString& text, const QFont& font, double maxWidth,
                                         double minimumScale, bool elide) {
    FittedText result{font, text, MixedTextLine::advance(text, font)};
    if (result.width <= maxWidth || text.isEmpty()) return result;
    const int fullSize =
        font.pixelSize() > 0 ? font.pixelSize() : static_cast<int>(std::lround(font.pointSizeF()));
    const int smallest = std::max(1, static_cast<int>(std::ceil(fullSize * minimumScale)));
    // The scaled size that fits, as large as possible but not below the smallest scale.
    const int wanted = static_cast<int>(std::floor(fullSize * maxWidth / result.width));
    result.font.setPixelSize(std::clamp(wanted, smallest, fullSize));
    result.width = MixedTextLine::advance(text, result.font);
    while (result.width > maxWidth && result.font.pixelSize() > smallest) {
        result.font.setPixelSize(result.font.pixelSize() - 1);
        result.width = MixedTextLine::advance(text, result.font);
    }
    if (result.width > maxWidth && elide) {
        result.text = MixedTextLine::elided(text, result.font, maxWidth);
        result.width = MixedTextLine::advance(result.text, result.font);
    }
    return result;
}

namespace {

// Symbols are looked up for every button of a row each time it is drawn: by values, not by a text.
struct SymbolKey {
    QString name;
    QRgb colour;
    double points;
    double scale;
    bool bold;
    bool operator==(const SymbolKey&) const = default;
};

size_t qHash(const SymbolKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.name, key.colour, key.points, key.scale, key.bold);
}

}  // namespace

void PickerStyle::paintSymbol(QPainter& painter, const QString& name, const QColor& color, double points,
                              const QRectF& rect, bool bold) {
    static QHash<SymbolKey, QPixmap> symbols;
    const SymbolKey key{name, color.rgba(), points, painter.device()->devicePixelRatioF(), bold};
    auto found = symbols.constFind(key);
    if (found == symbols.cend()) {
        // A few symbols in a few colours; should they ever pile up, start afresh.
        if (symbols.size() >= 256) symbols.clear();
        found = symbols.insert(key, SymbolImage::pixmap(name, color, points, key.scale, bold));
    }
    const QPixmap& image = *found;
    if (image.isNull()) return;
    const QPointF origin(rect.center().x() - points / 2, rect.center().y() - points / 2);
    painter.drawPixmap(origin, image);
}

}  // namespace mosaiko

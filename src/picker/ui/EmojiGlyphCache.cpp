#include "picker/ui/EmojiGlyphCache.hpp"

#include <QCache>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPixmap>
#include <cmath>

#include "picker/ui/PickerStyle.hpp"

namespace mosaiko {

namespace {

// Room around the text for ink outside its advance (overhangs, accents).
constexpr int kMargin = 2;

struct Image {
    QPixmap pixmap;
    double textWidth = 0;   // the fitted text's advance
    double lineHeight = 0;  // the fitted font's ascent and descent
};

// What an image or a width is looked up by. Built for every tile of every redraw, so it is kept as
// values, not formatted into a text.
struct ImageKey {
    QString text;
    QFont font;  // family, size, weight and whether other fonts may stand in
    double boxWidth;
    double minimumScale;
    bool elide;
    double scale;
    QRgb colour;
    bool operator==(const ImageKey&) const = default;
};

size_t qHash(const ImageKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.text, key.font, key.boxWidth, key.minimumScale, key.elide, key.scale,
                      key.colour);
}

struct WidthKey {
    QString text;
    QFont font;
    bool operator==(const WidthKey&) const = default;
};

size_t qHash(const WidthKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.text, key.font);
}

// A few hundred tiles' images (cost in KiB): every result of a long search, its variants and
// matrix, at a few hundred bytes to some ten KiB each.
QCache<ImageKey, Image>& images() {
    static QCache<ImageKey, Image> cache(12 * 1024);
    return cache;
}

QCache<WidthKey, double>& widths() {
    static QCache<WidthKey, double> cache(8192);
    return cache;
}

long& drawnCount() {
    static long count = 0;
    return count;
}

Image render(const QString& text, const QFont& font, const QColor& color, double maxWidth,
             const EmojiGlyphCache::Fitting& fitting, double scale) {
    const auto fitted = PickerStyle::fit(text, font, maxWidth, fitting.minimumScale, fitting.elide);
    Image image{{}, fitted.width, QFontMetricsF(fitted.font).height()};
    const QSize logical(static_cast<int>(std::ceil(image.textWidth)) + 2 * kMargin,
                        static_cast<int>(std::ceil(image.lineHeight)) + 2 * kMargin);
    image.pixmap = QPixmap(logical * scale);
    image.pixmap.setDevicePixelRatio(scale);
    image.pixmap.fill(Qt::transparent);
    QPainter painter(&image.pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(fitted.font);
    painter.setPen(color);
    painter.drawText(QRectF(kMargin, kMargin, image.textWidth, image.lineHeight),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip, fitted.text);
    ++drawnCount();
    return image;
}

// Rounded to the device's pixels, so that the image is copied, not resampled.
double snapped(double value, double scale) {
    return std::round(value * scale) / scale;
}

}  // namespace

double EmojiGlyphCache::width(const QString& text, const QFont& font) {
    const WidthKey key{text, font};
    if (const double* known = widths().object(key)) return *known;
    const double measured = QFontMetricsF(font).horizontalAdvance(text);
    widths().insert(key, new double(measured));
    return measured;
}

void EmojiGlyphCache::draw(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
                           const QColor& color, const Fitting& fitting) {
    if (text.isEmpty() || box.width() <= 0) return;
    const double scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const ImageKey key{text, font, box.width(), fitting.minimumScale, fitting.elide, scale, color.rgba()};
    const Image* image = images().object(key);
    if (!image) {
        auto* drawn = new Image(render(text, font, color, box.width(), fitting, scale));
        const qint64 bytes = drawn->pixmap.width() * qint64(drawn->pixmap.height()) * 4;
        images().insert(key, drawn, static_cast<qsizetype>(bytes / 1024 + 1));
        image = images().object(key);
        if (!image) return;  // larger than the whole cache: never the case for a tile
    }
    double x = box.left();
    if (fitting.horizontal & Qt::AlignHCenter) x = box.center().x() - image->textWidth / 2;
    if (fitting.horizontal & (Qt::AlignRight | Qt::AlignTrailing)) x = box.right() - image->textWidth;
    const double y = box.center().y() - image->lineHeight / 2;
    const QPointF origin(snapped(x - kMargin, scale), snapped(y - kMargin, scale));
    // Text that did not fit even at its smallest size is clipped to its box.
    const bool overflows = image->textWidth > box.width() + 0.5 || image->lineHeight > box.height() + 0.5;
    if (overflows) {
        painter.save();
        painter.setClipRect(box, Qt::IntersectClip);
    }
    painter.drawPixmap(origin, image->pixmap);
    if (overflows) painter.restore();
}

long EmojiGlyphCache::imagesDrawn() {
    return drawnCount();
}

}  // namespace mosaiko

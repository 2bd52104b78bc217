#include "library/ui/LibraryEntryTiles.hpp"

#include <QFontMetricsF>
#include <QPainterPath>
#include <QPixmap>
#include <QStaticText>
#include <cmath>
#include <utility>
#include <vector>

#include "picker/ui/PickerStyle.hpp"
#include "platform/CacheBudget.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/EmojiGlyphCache.hpp"
#include "platform/qt/SymbolImage.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

struct Look {
    double radius;
    double normalFillOpacity;
    double hoverScale;
    double shadowOpacity;  // 0: no shadow
};

QColor fillOf(bool selected, bool hovered, const Look& look) {
    return selected  ? PickerStyle::accent(0.18)
           : hovered ? PickerStyle::accent(0.10)
                     : PickerStyle::black(look.normalFillOpacity);
}

QColor borderOf(bool selected, bool hovered) {
    return selected  ? PickerStyle::accent(0.6)
           : hovered ? PickerStyle::accent(0.28)
                     : PickerStyle::black(0.08);
}

// Whether a tile at rest is drawn as an opaque copy, on `background`.
bool drawnOpaque(const QPainter& painter, const QRectF& tile, bool hovered,
                 const std::optional<QColor>& background) {
    return !hovered && background && background->alpha() == 255 &&
           PickerStyle::landsOnWholePixels(painter, tile);
}

struct OpaqueBodyKey {
    double width;
    double height;
    double radius;
    QRgb fill;
    QRgb border;
    QRgb background;
    double scale;
    bool operator==(const OpaqueBodyKey&) const = default;
};

struct OpaqueBodyKeyHash {
    size_t operator()(const OpaqueBodyKey& key) const {
        return qHashMulti(0, key.width, key.height, key.radius, key.fill, key.border, key.background,
                          key.scale);
    }
};

// A few looks (resting and selected, per style) at 15 KiB each, within the views' shared budget.
BudgetedCache<OpaqueBodyKey, QPixmap, OpaqueBodyKeyHash>& opaqueBodies() {
    static BudgetedCache<OpaqueBodyKey, QPixmap, OpaqueBodyKeyHash> cache(EmojiGlyphCache::budget());
    return cache;
}

// The tile drawn on its background once, into an image then copied: blending the translucent tile
// onto the window for every tile of every redraw cost more than the rest of the grid's drawing.
void paintOpaqueBody(QPainter& painter, const QRectF& tile, double radius, const QColor& fill,
                     const QColor& border, const QColor& background) {
    const double scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const OpaqueBodyKey key{tile.width(),  tile.height(),     radius, fill.rgba(),
                            border.rgba(), background.rgba(), scale};
    const QPixmap* image = opaqueBodies().find(key);
    if (!image) {
        QPixmap drawn((tile.size() * scale).toSize());
        drawn.setDevicePixelRatio(scale);
        drawn.fill(background);
        QPainter imagePainter(&drawn);
        PickerStyle::paintTile(imagePainter, QRectF(QPointF(0, 0), tile.size()), radius, fill, border);
        imagePainter.end();
        const auto bytes =
            static_cast<std::size_t>(drawn.width()) * static_cast<std::size_t>(drawn.height()) * 4;
        image = opaqueBodies().insert(key, drawn, bytes + 128);
        if (!image) return PickerStyle::paintTile(painter, tile, radius, fill, border);
    }
    painter.drawPixmap(tile.topLeft(), *image);
}

// The body that selection and hover change: the shadow, the rounded shape and its border, scaled
// about the centre while hovered. Returns the scaled rectangle the content goes into.
QRectF paintBody(QPainter& painter, const QRectF& cell, const Look& look, bool selected, bool hovered,
                 const std::optional<QColor>& background) {
    if (drawnOpaque(painter, cell, hovered, background)) {
        paintOpaqueBody(painter, cell, look.radius, fillOf(selected, false, look), borderOf(selected, false),
                        *background);
        return cell;
    }
    const double scale = hovered ? look.hoverScale : 1.0;
    const QRectF body(cell.center().x() - cell.width() * scale / 2,
                      cell.center().y() - cell.height() * scale / 2, cell.width() * scale,
                      cell.height() * scale);
    if (hovered && look.shadowOpacity > 0) {
        // A soft shadow: rings of fading accent under the tile, offset 4 points down.
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        const QRectF shadow = body.translated(0, 4);
        constexpr int rings = 5;
        for (int i = rings; i >= 1; --i) {
            const double grow = i * 2.0;
            painter.setBrush(PickerStyle::accent(look.shadowOpacity / rings));
            painter.drawRoundedRect(shadow.adjusted(-grow, -grow, grow, grow), look.radius + grow,
                                    look.radius + grow);
        }
        painter.restore();
    }
    const QColor fill = fillOf(selected, hovered, look);
    const QColor border = borderOf(selected, hovered);
    // The window background first: the shadow must not show through the translucent fill.
    if (hovered && look.shadowOpacity > 0) {
        QPainterPath path;
        path.addRoundedRect(body, look.radius, look.radius);
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(path, DesktopAppearance::windowBackground());
        painter.restore();
    }
    PickerStyle::paintTile(painter, body, look.radius, fill, border);
    return body;
}

// The text is drawn at its resting size into the resting box, and enlarged with the tile while
// hovered: one image serves both looks. `image`, when given, is the request's, prepared already.
void paintText(QPainter& painter, const QRectF& tile, const QRectF& body, const QPointF& inset,
               const EmojiGlyphCache::Request& text, const EmojiGlyphCache::Image* image) {
    const QRectF box(tile.left() + inset.x(), tile.top() + inset.y(), text.box.width(), text.box.height());
    const auto draw = [&] {
        if (image)
            EmojiGlyphCache::draw(painter, box, *image, text.fitting);
        else
            EmojiGlyphCache::draw(painter, box, text.text, text.font, text.color, text.fitting);
    };
    const double zoom = body.width() / tile.width();
    // Most tiles: the painter's state is left as it is, which saving it would copy.
    if (zoom == 1.0) return draw();
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(tile.center());
    painter.scale(zoom, zoom);
    painter.translate(-tile.center());
    draw();
    painter.restore();
}

QFont badgeFont() {
    return Typography::system(10, QFont::Bold);
}

// Rounded to the device's pixels, so that a mark is copied, not resampled.
QPointF snapped(const QPointF& point, double scale) {
    return {std::round(point.x() * scale) / scale, std::round(point.y() * scale) / scale};
}

// Room around the "▾" in its image, for ink outside its line's box.
constexpr int kBadgeRoom = 2;

// "▾", drawn once into an image with kBadgeRoom around its line's box.
QImage badgeImage(const QFont& font, const QColor& colour, double scale) {
    QStaticText text(QStringLiteral("\u25BE"));
    text.setTextFormat(Qt::PlainText);
    text.prepare(QTransform(), font);
    const QSizeF size = text.size() + QSizeF(2 * kBadgeRoom, 2 * kBadgeRoom);
    QImage image((size * scale).toSize() + QSize(1, 1), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawStaticText(QPointF(kBadgeRoom, kBadgeRoom), text);
    return image;
}

struct MarksKey {
    double pinPoints;
    double pinPadding;
    bool badge;
    double scale;
    QRgb colour;
    QFont font;
    bool operator==(const MarksKey&) const = default;
};

double deviceScale(const QPainter& painter) {
    return painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
}

}  // namespace

LibraryTileMarks LibraryTileMarks::of(double pinPoints, double pinPadding, bool badge, double scale) {
    // A few looks (a style or two at one scale); should they pile up, start afresh.
    static std::vector<std::pair<MarksKey, LibraryTileMarks>> kept;
    const QColor colour = DesktopAppearance::secondaryText();
    MarksKey key{pinPoints, pinPadding, badge, scale, colour.rgba(), badge ? badgeFont() : QFont()};
    for (const auto& [known, marks] : kept) {
        if (known == key) return marks;
    }
    if (kept.size() >= 8) kept.clear();
    LibraryTileMarks marks;
    marks.pin = SymbolImage::pixmap(QStringLiteral("pin.fill"), colour, pinPoints, scale, true).toImage();
    marks.pinInset = QPointF(pinPadding, pinPadding);
    if (badge) {
        marks.badge = badgeImage(key.font, colour, scale);
        // Its line's box sits 5 points in from the tile's bottom trailing corner.
        const double lineHeight = QFontMetricsF(key.font).height();
        const double width = marks.badge.width() / scale - 2 * kBadgeRoom;
        marks.badgeInset = QPointF(5 + width + kBadgeRoom, 5 + lineHeight + kBadgeRoom);
    }
    kept.emplace_back(std::move(key), marks);
    return marks;
}

void LibraryTileMarks::paint(QPainter& painter, const QRectF& tile, bool pinned, bool badged) const {
    if (pinned && !pin.isNull())
        painter.drawImage(snapped(tile.topLeft() + pinInset, pin.devicePixelRatio()), pin);
    if (badged && !badge.isNull()) {
        const QPointF at(tile.right() - badgeInset.x(), tile.bottom() - badgeInset.y());
        painter.drawImage(snapped(at, badge.devicePixelRatio()), badge);
    }
}

void warmLibraryTileFonts() {
    const QFont fonts[] = {badgeFont(),
                           Typography::emoji(LibraryCompactEntryTile::kEmojiPoints),
                           Typography::system(LibraryCompactEntryTile::kEmojiPoints),
                           Typography::monospaced(15),
                           Typography::monospaced(21),
                           Typography::system(31)};
    for (const QFont& font : fonts) QFontMetricsF(font).height();
}

LibraryTileTextContext::LibraryTileTextContext()
    : colour(DesktopAppearance::primaryText()), compactFonts(LibraryCompactEntryTile::kEmojiPoints) {}

EmojiGlyphCache::Request LibraryCompactEntryTile::textRequest(double width,
                                                              const LibraryTileTextContext* shared) const {
    const QColor colour = shared ? shared->colour : DesktopAppearance::primaryText();
    const QSizeF box(std::max(0.0, width - 8), std::max(0.0, tileSide - 8));
    // Text entries break between words, and shrink before a word is split.
    if (isTextEntry)
        return {displayText, Typography::monospaced(15), colour, box, {0.44, true, Qt::AlignHCenter, 3}};
    return {displayText,
            shared ? shared->compactFonts.fontFor(displayText)
                   : Typography::emojiOrSystem(displayText, kEmojiPoints),
            colour,
            box,
            {0.25, false, Qt::AlignHCenter, 1}};
}

QRectF LibraryCompactEntryTile::tileIn(const QRectF& cell) const {
    return {cell.left(), cell.top(), cell.width(), tileSide};
}

LibraryTileMarks LibraryCompactEntryTile::marks(double scale) {
    return LibraryTileMarks::of(9, 5, true, scale);
}

QRectF LibraryCompactEntryTile::opaqueArea(const QPainter& painter, const QRectF& cell) const {
    const QRectF tile = tileIn(cell);
    return drawnOpaque(painter, tile, isHovered, background) ? tile : QRectF();
}

void LibraryCompactEntryTile::paint(QPainter& painter, const QRectF& cell,
                                    const EmojiGlyphCache::Request& text, const EmojiGlyphCache::Image* image,
                                    bool overRestingLook) const {
    const QRectF tile = tileIn(cell);
    const bool resting = overRestingLook && !isSelected && !isHovered;
    const QRectF body =
        resting ? tile : paintBody(painter, tile, {13, 0.035, 1.02, 0.12}, isSelected, isHovered, background);
    paintText(painter, tile, body, kTextInset, text, image);
    if (isPinned || showsBadge()) marks(deviceScale(painter)).paint(painter, tile, isPinned, showsBadge());
}

EmojiGlyphCache::Request LibraryWideTextTile::textRequest(double width,
                                                          const LibraryTileTextContext* shared) const {
    return {displayText,
            Typography::monospaced(21),
            shared ? shared->colour : DesktopAppearance::primaryText(),
            QSizeF(std::max(0.0, width - 24), kHeight),
            {0.52, true, Qt::AlignHCenter, 1}};
}

QRectF LibraryWideTextTile::tileIn(const QRectF& cell) const {
    return {cell.left(), cell.top(), cell.width(), kHeight};
}

LibraryTileMarks LibraryWideTextTile::marks(double scale) {
    return LibraryTileMarks::of(9, 5, false, scale);
}

QRectF LibraryWideTextTile::opaqueArea(const QPainter& painter, const QRectF& cell) const {
    const QRectF tile = tileIn(cell);
    return drawnOpaque(painter, tile, isHovered, background) ? tile : QRectF();
}

void LibraryWideTextTile::paint(QPainter& painter, const QRectF& cell, const EmojiGlyphCache::Request& text,
                                const EmojiGlyphCache::Image* image, bool overRestingLook) const {
    const QRectF tile = tileIn(cell);
    const bool resting = overRestingLook && !isSelected && !isHovered;
    const QRectF body =
        resting ? tile : paintBody(painter, tile, {13, 0.035, 1.01, 0}, isSelected, isHovered, background);
    paintText(painter, tile, body, kTextInset, text, image);
    if (isPinned) marks(deviceScale(painter)).paint(painter, tile, true, false);
}

EmojiGlyphCache::Request LibraryGlyphTile::textRequest(double width,
                                                       const LibraryTileTextContext* shared) const {
    return {displayText,
            Typography::system(31),
            shared ? shared->colour : DesktopAppearance::primaryText(),
            QSizeF(std::max(0.0, width - 6), std::max(0.0, tileSide - 6)),
            {0.3, false, Qt::AlignHCenter, 1}};
}

QRectF LibraryGlyphTile::tileIn(const QRectF& cell) const {
    return {cell.left(), cell.top(), cell.width(), tileSide};
}

LibraryTileMarks LibraryGlyphTile::marks(double scale) {
    return LibraryTileMarks::of(8, 4, false, scale);
}

QRectF LibraryGlyphTile::opaqueArea(const QPainter& painter, const QRectF& cell) const {
    const QRectF tile = tileIn(cell);
    return drawnOpaque(painter, tile, isHovered, background) ? tile : QRectF();
}

void LibraryGlyphTile::paint(QPainter& painter, const QRectF& cell, const EmojiGlyphCache::Request& text,
                             const EmojiGlyphCache::Image* image, bool overRestingLook) const {
    const QRectF tile = tileIn(cell);
    const bool resting = overRestingLook && !isSelected && !isHovered;
    const QRectF body =
        resting ? tile : paintBody(painter, tile, {12, 0.03, 1.02, 0.10}, isSelected, isHovered, background);
    paintText(painter, tile, body, kTextInset, text, image);
    if (isPinned) marks(deviceScale(painter)).paint(painter, tile, true, false);
}

}  // namespace mosaiko

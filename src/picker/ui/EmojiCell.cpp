#include "picker/ui/EmojiCell.hpp"

#include <QByteArrayView>
#include <QFontMetricsF>
#include <QHash>
#include <QPixmap>
#include <algorithm>
#include <cmath>

#include "picker/ui/PickerStyle.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/EmojiGlyphCache.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

constexpr double emojiTileWidth = 54;

struct TileKind {
    QFont font;
    double minimumScale;
    double padding;
    double minWidth;
    double maxWidth;
    bool elide;
};

// Mostly emoji, but a recent entry may hold any text that was once inserted: whether the emoji
// font covers a text is asked of the font engine once per text, not for every tile of every redraw.
QFont emojiTileFont(const QString& text) {
    static QHash<QString, bool> coveredByEmojiFont;
    auto found = coveredByEmojiFont.constFind(text);
    if (found == coveredByEmojiFont.cend()) {
        if (coveredByEmojiFont.size() >= 4096) coveredByEmojiFont.clear();
        const QFont font = Typography::emojiOrSystem(text, 38);
        found = coveredByEmojiFont.insert(text, font == Typography::emoji(38));
        return font;
    }
    return *found ? Typography::emoji(38) : Typography::system(38);
}

TileKind kindOf(const EmojiCell::Content& content, const QString& text) {
    if (!content.isTextEntry) return {emojiTileFont(text), 0.25, 0, emojiTileWidth, emojiTileWidth, false};
    if (!content.isCompactTextEntry) return {Typography::monospaced(18), 0.72, 12, 96, 320, true};
    return {Typography::monospaced(27), 0.6, 8, 62, 92, false};
}

// The mark's ink sits 6 pt from the trailing and the bottom edge: its offset from that corner.
QPointF variantsMarkOffset(const QFont& font, const QString& mark) {
    const QRectF ink = QFontMetricsF(font).tightBoundingRect(mark);
    return QPointF(-6 - ink.right(), -6 - ink.bottom());
}

}  // namespace

double EmojiCell::widthFor(const Content& content) {
    if (!content.isTextEntry) return emojiTileWidth;
    const QString text = QString::fromStdString(content.emoji);
    const TileKind kind = kindOf(content, text);
    return std::clamp(EmojiGlyphCache::width(text, kind.font) + 2 * kind.padding, kind.minWidth,
                      kind.maxWidth);
}

namespace {

void drawTile(QPainter& painter, const QRectF& bounds, const EmojiCell::Content& content) {
    PickerStyle::paintTile(painter, bounds, 12,
                           content.isSelected ? PickerStyle::selectedFill() : QColor(Qt::transparent),
                           content.isSelected ? PickerStyle::selectedBorder() : PickerStyle::black(0.1));

    const QString text = QString::fromStdString(content.emoji);
    const TileKind kind = kindOf(content, text);
    const bool leading = content.isTextEntry && !content.isCompactTextEntry;
    EmojiGlyphCache::draw(painter, bounds.adjusted(kind.padding, 0, -kind.padding, 0), text, kind.font,
                          DesktopAppearance::primaryText(),
                          {kind.minimumScale, kind.elide, leading ? Qt::AlignLeft : Qt::AlignHCenter});

    const QColor secondary = DesktopAppearance::secondaryText();
    if (content.isPinned) {
        PickerStyle::paintSymbol(painter, QStringLiteral("pin.fill"), secondary, 10,
                                 QRectF(bounds.left() + 6, bounds.top() + 6, 10, 10), true);
    }
    if (content.showsVariantsIndicator && !content.isTextEntry) {
        const QFont font = Typography::system(10, QFont::Bold);
        const QString mark = QStringLiteral("▾");
        painter.save();
        painter.setFont(font);
        painter.setPen(secondary);
        painter.drawText(bounds.bottomRight() + variantsMarkOffset(font, mark), mark);
        painter.restore();
    }
}

// A strip shows the same tiles keystroke after keystroke: each look of a tile (its content, size,
// screen scale and colours) is drawn once into an image, and copied where it lands on whole
// device pixels.
struct TileImageKey {
    EmojiCell::Content content;
    double width;
    double height;
    double scale;
    QRgb text;
    QRgb accent;
    bool dark;
    bool operator==(const TileImageKey&) const = default;
};

size_t qHash(const TileImageKey& key, size_t seed = 0) {
    const auto& c = key.content;
    const int flags = c.showsVariantsIndicator | c.isPinned << 1 | c.isSelected << 2 | c.isTextEntry << 3 |
                      c.isCompactTextEntry << 4 | key.dark << 5;
    return qHashMulti(seed, QByteArrayView(c.emoji.data(), static_cast<qsizetype>(c.emoji.size())), flags,
                      key.width, key.height, key.scale, key.text, key.accent);
}

struct TileImageKeyHash {
    size_t operator()(const TileImageKey& key) const { return qHash(key); }
};

// A long search and its neighbours, at 11 KiB an emoji tile, within the views' shared budget.
BudgetedCache<TileImageKey, QPixmap, TileImageKeyHash>& tileImages() {
    static BudgetedCache<TileImageKey, QPixmap, TileImageKeyHash> cache(EmojiGlyphCache::budget());
    return cache;
}

}  // namespace

void EmojiCell::paint(QPainter& painter, const QRectF& bounds, const Content& content) {
    const double scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    if (!PickerStyle::landsOnWholePixels(painter, bounds)) {
        drawTile(painter, bounds, content);  // a copy would be resampled
        return;
    }
    const TileImageKey key{content,
                           bounds.width(),
                           bounds.height(),
                           scale,
                           DesktopAppearance::primaryText().rgba(),
                           DesktopAppearance::accent().rgba(),
                           DesktopAppearance::isDark()};
    const QPixmap* image = tileImages().find(key);
    if (!image) {
        QPixmap drawn((bounds.size() * scale).toSize());
        drawn.setDevicePixelRatio(scale);
        drawn.fill(Qt::transparent);
        QPainter tilePainter(&drawn);
        tilePainter.setRenderHints(painter.renderHints());
        drawTile(tilePainter, QRectF(QPointF(0, 0), bounds.size()), content);
        tilePainter.end();
        const auto bytes =
            static_cast<std::size_t>(drawn.width()) * static_cast<std::size_t>(drawn.height()) * 4;
        image = tileImages().insert(key, std::move(drawn), bytes + 128);
        if (!image) return;  // larger than the whole budget: never the case for a tile
    }
    painter.drawPixmap(bounds.topLeft(), *image);
}

}  // namespace mosaiko

#include "library/ui/LibraryEntryTiles.hpp"

#include <QPainterPath>

#include "library/ui/LibraryText.hpp"
#include "picker/ui/PickerStyle.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

struct Look {
    double radius;
    double normalFillOpacity;
    double hoverScale;
    double shadowOpacity;  // 0: no shadow
};

// The body that selection and hover change: the shadow, the rounded shape and its border, scaled
// about the centre while hovered. Returns the scaled rectangle the content goes into.
QRectF paintBody(QPainter& painter, const QRectF& cell, const Look& look, bool selected, bool hovered) {
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
    const QColor fill = selected  ? PickerStyle::accent(0.18)
                        : hovered ? PickerStyle::accent(0.10)
                                  : PickerStyle::black(look.normalFillOpacity);
    const QColor border = selected  ? PickerStyle::accent(0.6)
                          : hovered ? PickerStyle::accent(0.28)
                                    : PickerStyle::black(0.08);
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

void paintPin(QPainter& painter, const QRectF& cell, double points, double padding) {
    PickerStyle::paintSymbol(painter, QStringLiteral("pin.fill"), DesktopAppearance::secondaryText(), points,
                             QRectF(cell.left() + padding, cell.top() + padding, points, points), true);
}

}  // namespace

void LibraryCompactEntryTile::paint(QPainter& painter, const QRectF& cell) const {
    const QRectF tile(cell.left(), cell.top(), cell.width(), tileSide);
    const QRectF body = paintBody(painter, tile, {13, 0.035, 1.02, 0.12}, isSelected, isHovered);
    const QRectF content = body.adjusted(4, 4, -4, -4);
    if (isTextEntry) {
        LibraryText::draw(painter, content, displayText,
                          Typography::monospaced(15 * (body.width() / tile.width())),
                          DesktopAppearance::primaryText(), {3, 0.44, Qt::AlignCenter});
    } else {
        LibraryText::draw(painter, content, displayText,
                          Typography::emojiOrSystem(displayText, 37 * (body.width() / tile.width())),
                          DesktopAppearance::primaryText(), {1, 0.25, Qt::AlignCenter});
    }
    if (isPinned) paintPin(painter, tile, 9, 5);
    if (supportsVariants && !isTextEntry) {
        painter.save();
        painter.setFont(Typography::system(10, QFont::Bold));
        painter.setPen(DesktopAppearance::secondaryText());
        painter.drawText(tile.adjusted(0, 0, -5, -5), Qt::AlignRight | Qt::AlignBottom,
                         QStringLiteral("\u25BE"));
        painter.restore();
    }
}

void LibraryWideTextTile::paint(QPainter& painter, const QRectF& cell) const {
    const QRectF tile(cell.left(), cell.top(), cell.width(), 58);
    const QRectF body = paintBody(painter, tile, {13, 0.035, 1.01, 0}, isSelected, isHovered);
    LibraryText::draw(painter, body.adjusted(12, 0, -12, 0), displayText, Typography::monospaced(21),
                      DesktopAppearance::primaryText(), {1, 0.52, Qt::AlignCenter});
    if (isPinned) paintPin(painter, tile, 9, 5);
}

void LibraryGlyphTile::paint(QPainter& painter, const QRectF& cell) const {
    const QRectF tile(cell.left(), cell.top(), cell.width(), tileSide);
    const QRectF body = paintBody(painter, tile, {12, 0.03, 1.02, 0.10}, isSelected, isHovered);
    LibraryText::draw(painter, body.adjusted(3, 3, -3, -3), displayText, Typography::system(31),
                      DesktopAppearance::primaryText(), {1, 0.3, Qt::AlignCenter});
    if (isPinned) paintPin(painter, tile, 8, 4);
}

}  // namespace mosaiko

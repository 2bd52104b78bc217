#include "picker/ui/EmojiCell.hpp"

#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <utility>

#include "picker/ui/PickerStyle.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

constexpr double tileHeight = 54;
constexpr double emojiTileWidth = 54;

struct TileKind {
    QFont font;
    double minimumScale;
    double padding;
    double minWidth;
    double maxWidth;
    bool elide;
};

TileKind kindOf(const EmojiCell::Content& content) {
    if (!content.isTextEntry) {
        // Mostly emoji, but a recent entry may hold any text that was once inserted.
        return {Typography::emojiOrSystem(QString::fromStdString(content.emoji), 38),
                0.25,
                0,
                emojiTileWidth,
                emojiTileWidth,
                false};
    }
    if (!content.isCompactTextEntry) return {Typography::monospaced(18), 0.72, 12, 96, 320, true};
    return {Typography::monospaced(27), 0.6, 8, 62, 92, false};
}

}  // namespace

EmojiCell::EmojiCell(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover, false);
    setFixedSize(sizeHint());
}

void EmojiCell::setContent(const Content& content) {
    if (content == content_) return;
    const bool resized = content.emoji != content_.emoji || content.isTextEntry != content_.isTextEntry ||
                         content.isCompactTextEntry != content_.isCompactTextEntry;
    content_ = content;
    if (resized) setFixedSize(sizeHint());
    update();
}

double EmojiCell::widthFor(const Content& content) {
    const TileKind kind = kindOf(content);
    if (!content.isTextEntry) return emojiTileWidth;
    const double textWidth =
        QFontMetricsF(kind.font).horizontalAdvance(QString::fromStdString(content.emoji));
    return std::clamp(textWidth + 2 * kind.padding, kind.minWidth, kind.maxWidth);
}

QSize EmojiCell::sizeHint() const {
    return QSize(static_cast<int>(std::ceil(widthFor(content_))), static_cast<int>(tileHeight));
}

void EmojiCell::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF bounds = rect();
    PickerStyle::paintTile(painter, bounds, 12,
                           content_.isSelected ? PickerStyle::selectedFill() : QColor(Qt::transparent),
                           content_.isSelected ? PickerStyle::selectedBorder() : PickerStyle::black(0.1));

    const TileKind kind = kindOf(content_);
    const QRectF textArea = bounds.adjusted(kind.padding, 0, -kind.padding, 0);
    const auto fitted = PickerStyle::fit(QString::fromStdString(content_.emoji), kind.font, textArea.width(),
                                         kind.minimumScale, kind.elide);
    painter.save();
    painter.setClipRect(bounds);
    painter.setFont(fitted.font);
    painter.setPen(DesktopAppearance::primaryText());
    const bool leading = content_.isTextEntry && !content_.isCompactTextEntry;
    painter.drawText(textArea,
                     Qt::AlignVCenter | (leading ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::TextSingleLine,
                     fitted.text);
    painter.restore();

    const QColor secondary = DesktopAppearance::secondaryText();
    if (content_.isPinned) {
        PickerStyle::paintSymbol(painter, QStringLiteral("pin.fill"), secondary, 10, QRectF(6, 6, 10, 10),
                                 true);
    }
    if (content_.showsVariantsIndicator && !content_.isTextEntry) {
        painter.setFont(Typography::system(10, QFont::Bold));
        painter.setPen(secondary);
        const QFontMetricsF metrics(painter.font());
        const QString mark = QStringLiteral("▾");
        const QRectF box = metrics.tightBoundingRect(mark);
        // The mark's ink sits 6 pt from the trailing and the bottom edge.
        painter.drawText(QPointF(bounds.right() - 6 - box.right(), bounds.bottom() - 6 - box.bottom()), mark);
    }
}

void EmojiCell::mouseMoveEvent(QMouseEvent* event) {
    if (rect().contains(event->position().toPoint())) emit hovered();
    event->accept();
}

void EmojiCell::mousePressEvent(QMouseEvent* event) {
    clicks_.press(*event, ClickTracker::wholeWidget(*this, *event));
    event->accept();
}

void EmojiCell::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (clicks_.release(*event, ClickTracker::wholeWidget(*this, *event))) emit clicked(event->modifiers());
}

void EmojiCell::contextMenuEvent(QContextMenuEvent* event) {
    emit contextMenuRequested(event->globalPos());
    event->accept();
}

}  // namespace mosaiko

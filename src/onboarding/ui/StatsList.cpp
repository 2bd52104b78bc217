#include "onboarding/ui/StatsList.hpp"

#include <QEvent>
#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

#include "onboarding/ui/GuideStyle.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/EmojiGlyphCache.hpp"
#include "platform/qt/PlainToolTip.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The list's margins above and below, the rows' padding and the space between rows and cells.
constexpr int kListMargin = 6;
constexpr int kRowSpacing = 4;
constexpr int kSidePadding = 8;
constexpr int kTopPadding = 2;
constexpr int kCellSpacing = 10;
constexpr int kRankWidth = 34;
constexpr int kTextLineHeight = 18;

constexpr EmojiGlyphCache::Fitting kEmojiFitting{0.4, false, Qt::AlignHCenter, 1};
constexpr EmojiGlyphCache::Fitting kTextFitting{1.0, true, Qt::AlignLeft, 1};

}  // namespace

StatsList::Look StatsList::Look::current() {
    return {Typography::monospaced(11, QFont::DemiBold), Typography::monospaced(12, QFont::Medium),
            Typography::monospaced(12)};
}

StatsList::StatsList(const std::vector<RankedStatItem>& items, QWidget* parent)
    : QWidget(parent), look_(Look::current()) {
    rows_.reserve(items.size());
    for (const auto& ranked : items) {
        const StatItem& item = ranked.item;
        Row row;
        row.texts[rank] = QStringLiteral("#%1").arg(ranked.rank);
        row.texts[preview] = qs(item.emoji);
        row.texts[count] = qs(StatsViewModel::usageCountLabel(item.count));
        row.texts[trend] = qs(StatsViewModel::deltaText(item.delta));
        row.emojiStyle = StatsViewModel::usesEmojiPreviewStyle(item.emoji);
        if (item.delta) {
            row.trendColour = *item.delta > 0   ? GuideStyle::named(GuideStyle::Named::green)
                              : *item.delta < 0 ? GuideStyle::named(GuideStyle::Named::red)
                                                : DesktopAppearance::primaryText();
        }
        rows_.push_back(std::move(row));
    }
}

int StatsList::rowTop(std::size_t row) const {
    return kListMargin + static_cast<int>(row) * (kRowHeight + kRowSpacing);
}

QSize StatsList::sizeHint() const {
    const int count = static_cast<int>(rows_.size());
    return {
        kSidePadding * 2 + kRankWidth + kTextWidth + kUsageColumnWidth + kTrendColumnWidth + 4 * kCellSpacing,
        2 * kListMargin + count * kRowHeight + std::max(0, count - 1) * kRowSpacing};
}

QSize StatsList::minimumSizeHint() const {
    // As tall as its rows (it scrolls), and taller where the window has room.
    return {0, sizeHint().height()};
}

QRect StatsList::cellRect(std::size_t row, Cell cell) const {
    const int top = rowTop(row) + kTopPadding;
    const int height = kRowHeight - 2 * kTopPadding;
    const int right = width() - kSidePadding;
    const int trendLeft = right - kTrendColumnWidth;
    const int countLeft = trendLeft - kCellSpacing - kUsageColumnWidth;
    const int previewLeft = kSidePadding + kRankWidth + kCellSpacing;
    switch (cell) {
        case rank:
            return {kSidePadding, top, kRankWidth, height};
        case preview: {
            if (rows_[row].emojiStyle) return {previewLeft, top, kEmojiWidth, height};
            // As wide as the columns after it leave it, at most kTextWidth.
            const int room = countLeft - 2 * kCellSpacing - previewLeft;
            const int width = std::clamp(room, kEmojiWidth, kTextWidth);
            return {previewLeft, top + (height - kTextLineHeight) / 2, width, kTextLineHeight};
        }
        case count:
            return {countLeft, top, kUsageColumnWidth, height};
        case trend:
            return {trendLeft, top, kTrendColumnWidth, height};
    }
    return {};
}

QColor StatsList::colourOf(std::size_t row, Cell cell) const {
    if (cell == preview) return DesktopAppearance::primaryText();
    if (cell == trend && rows_[row].trendColour.isValid()) return rows_[row].trendColour;
    return DesktopAppearance::secondaryText();
}

void StatsList::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRect area = event->rect();
    const auto pitch = kRowHeight + kRowSpacing;
    const auto first = static_cast<std::size_t>(std::max(0, (area.top() - kListMargin) / pitch));
    for (std::size_t i = first; i < rows_.size() && rowTop(i) <= area.bottom(); ++i) {
        const Row& row = rows_[i];
        for (const Cell cell : {rank, count, trend}) {
            if (row.texts[cell].isEmpty()) continue;
            painter.setFont(cell == count ? look_.count : look_.rankAndTrend);
            painter.setPen(colourOf(i, cell));
            painter.drawText(cellRect(i, cell), Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                             row.texts[cell]);
        }
        const QString& text = row.texts[preview];
        if (row.emojiStyle) {
            EmojiGlyphCache::draw(painter, cellRect(i, preview), text, Typography::emojiOrSystem(text, 28),
                                  colourOf(i, preview), kEmojiFitting);
        } else {
            EmojiGlyphCache::draw(painter, cellRect(i, preview), text, look_.preview, colourOf(i, preview),
                                  kTextFitting);
        }
    }
}

bool StatsList::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    // A text shown as it is has the whole of it in its tooltip.
    const QPoint at = static_cast<QHelpEvent*>(event)->pos();
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const QRect cell = cellRect(i, preview);
        if (!rows_[i].emojiStyle && cell.contains(at)) {
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(),
                               plainToolTip(rows_[i].texts[preview]), this, cell);
            return true;
        }
    }
    QToolTip::hideText();
    event->ignore();
    return true;
}

std::vector<EmojiGlyphCache::Request> StatsList::firstPreviews(const std::vector<RankedStatItem>& items,
                                                               std::size_t count) {
    std::vector<EmojiGlyphCache::Request> requests;
    for (std::size_t i = 0; i < std::min(items.size(), count); ++i) {
        if (!StatsViewModel::usesEmojiPreviewStyle(items[i].item.emoji)) continue;
        const QString text = qs(items[i].item.emoji);
        requests.push_back({text, Typography::emojiOrSystem(text, 28), DesktopAppearance::primaryText(),
                            QSizeF(kEmojiWidth, kRowHeight - 2 * kTopPadding), kEmojiFitting});
    }
    return requests;
}

}  // namespace mosaiko

#include "picker/ui/MixedToneVariantMatrix.hpp"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <utility>

#include "picker/ui/PickerStyle.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/EmojiGlyphCache.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

constexpr int padding = 12;
constexpr int cellWidth = 40;
constexpr int cellHeight = 36;
constexpr int spacing = 6;
constexpr int gridWidth = 5 * cellWidth + 4 * spacing;    // 224
constexpr int gridHeight = 5 * cellHeight + 4 * spacing;  // 204
constexpr int smallestWidth = 232;

}  // namespace

MixedToneVariantMatrix::MixedToneVariantMatrix(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setFixedSize(sizeHint());
}

QSize MixedToneVariantMatrix::sizeHint() const {
    return QSize(std::max(smallestWidth, gridWidth + 2 * padding), gridHeight + 2 * padding);
}

void MixedToneVariantMatrix::setVariants(const EmojiEntry::Variants& variants) {
    variants_ = variants;
    rebuildIndices();
    update();
}

void MixedToneVariantMatrix::setSelectedIndex(int index) {
    if (index == selectedIndex_) return;
    selectedIndex_ = index;
    update();
}

void MixedToneVariantMatrix::rebuildIndices() {
    const auto& options = variants_.options();
    for (int row = 0; row < 5; ++row) {
        for (int column = 0; column < 5; ++column) {
            indices_[row][column].reset();
            const auto* option = variants_.option(std::vector<SkinTone>{toneOrder[row], toneOrder[column]});
            if (!option) continue;
            const auto it = std::find(options.begin(), options.end(), *option);
            if (it != options.end()) indices_[row][column] = static_cast<int>(it - options.begin());
        }
    }
    hoveredIndex_.reset();
    clicks_.cancel();
}

std::optional<int> MixedToneVariantMatrix::optionIndexAt(int row, int column) const {
    if (row < 0 || row >= 5 || column < 0 || column >= 5) return std::nullopt;
    return indices_[row][column];
}

QRect MixedToneVariantMatrix::cellRect(int row, int column) const {
    // The grid is centred when the widget is wider than the grid and its padding.
    const int left = (width() - gridWidth) / 2;
    return QRect(left + column * (cellWidth + spacing), padding + row * (cellHeight + spacing), cellWidth,
                 cellHeight);
}

std::optional<MixedToneVariantMatrix::Cell> MixedToneVariantMatrix::cellAt(const QPoint& position) const {
    for (int row = 0; row < 5; ++row) {
        for (int column = 0; column < 5; ++column) {
            if (cellRect(row, column).contains(position)) return Cell{row, column};
        }
    }
    return std::nullopt;
}

void MixedToneVariantMatrix::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QFont font = Typography::emoji(22);
    const auto& options = variants_.options();
    for (int row = 0; row < 5; ++row) {
        for (int column = 0; column < 5; ++column) {
            const QRectF cell = cellRect(row, column);
            const auto index = indices_[row][column];
            if (!index) {
                PickerStyle::paintTile(painter, cell, 8, PickerStyle::black(0.02), Qt::transparent);
                continue;
            }
            const bool selected = *index == selectedIndex_;
            const bool hovered = hoveredIndex_ == index;
            const QColor fill = selected  ? PickerStyle::selectedFill()
                                : hovered ? PickerStyle::accent(0.12)
                                          : PickerStyle::black(0.04);
            const QColor border = selected  ? PickerStyle::selectedBorder()
                                  : hovered ? PickerStyle::accent(0.3)
                                            : PickerStyle::black(0.08);
            PickerStyle::paintTile(painter, cell, 8, fill, border);
            EmojiGlyphCache::draw(painter, cell, QString::fromStdString(options[*index].emoji), font,
                                  DesktopAppearance::primaryText(), {0.5});
        }
    }
}

void MixedToneVariantMatrix::mouseMoveEvent(QMouseEvent* event) {
    const auto index = indexAt(*event);
    if (index) {
        if (hoveredIndex_ != index) {
            hoveredIndex_ = index;
            update();
        }
        if (onHoverSelect) onHoverSelect(*index);
    } else if (hoveredIndex_) {
        hoveredIndex_.reset();
        update();
    }
    event->accept();
}

std::optional<int> MixedToneVariantMatrix::indexAt(const QMouseEvent& event) const {
    const auto cell = cellAt(event.position().toPoint());
    return cell ? indices_[cell->row][cell->column] : std::nullopt;
}

void MixedToneVariantMatrix::mousePressEvent(QMouseEvent* event) {
    clicks_.press(*event, indexAt(*event));
    event->accept();
}

void MixedToneVariantMatrix::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (const auto index = clicks_.release(*event, indexAt(*event)); index && onSelect) onSelect(*index);
}

void MixedToneVariantMatrix::leaveEvent(QEvent* event) {
    if (hoveredIndex_) {
        hoveredIndex_.reset();
        update();
    }
    QWidget::leaveEvent(event);
}

void MixedToneVariantMatrix::hideEvent(QHideEvent* event) {
    // A popover shown anew starts without a hovered cell, wherever the pointer was when it closed.
    hoveredIndex_.reset();
    clicks_.cancel();
    QWidget::hideEvent(event);
}

bool MixedToneVariantMatrix::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const auto cell = cellAt(help->pos());
        const auto index = cell ? indices_[cell->row][cell->column] : std::nullopt;
        if (index) {
            QToolTip::showText(help->globalPos(),
                               QString::fromStdString(variants_.options()[*index].displayName()), this,
                               cellRect(cell->row, cell->column));
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

}  // namespace mosaiko

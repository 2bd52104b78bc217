#include "library/ui/LibraryShortcodeRow.hpp"

#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include "library/ui/LibraryText.hpp"
#include "picker/ui/PickerStyle.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

constexpr int kTextWidth = 210;
constexpr int kHeight = 56;

}  // namespace

LibraryShortcodeRow::LibraryShortcodeRow(QWidget* parent)
    : QWidget(parent), edit_(new QPushButton(QStringLiteral("Edit…"), this)) {
    setFocusPolicy(Qt::NoFocus);
    edit_->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->addStretch(1);
    layout->addWidget(edit_);
    connect(edit_, &QPushButton::clicked, this, [this] {
        if (onEdit) onEdit();
    });
    edit_->hide();
    setFixedHeight(kHeight);
}

QSize LibraryShortcodeRow::sizeHint() const {
    return {560, kHeight};
}

void LibraryShortcodeRow::setContent(Content content) {
    content_ = std::move(content);
    edit_->setVisible(content_.canEdit);
    update();
}

void LibraryShortcodeRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double scale = hovered_ ? 1.005 : 1.0;
    const QRectF full(rect());
    const QRectF body(full.center().x() - full.width() * scale / 2,
                      full.center().y() - full.height() * scale / 2, full.width() * scale,
                      full.height() * scale);
    const QColor fill = content_.isSelected ? PickerStyle::accent(0.18)
                        : hovered_          ? PickerStyle::accent(0.1)
                                            : PickerStyle::black(0.03);
    const QColor stroke = content_.isSelected ? PickerStyle::accent(0.6)
                          : hovered_          ? PickerStyle::accent(0.28)
                                              : PickerStyle::black(0.08);
    PickerStyle::paintTile(painter, body, 12, fill, stroke);

    const QRectF inner = full.adjusted(12, 10, -12, -10);
    LibraryText::draw(painter, QRectF(inner.left(), inner.top(), kTextWidth, inner.height()),
                      content_.displayText, Typography::monospaced(16), DesktopAppearance::primaryText(),
                      {1, 0.55, Qt::AlignLeading | Qt::AlignVCenter});

    const double left = inner.left() + kTextWidth + 12;
    const double right = content_.canEdit ? edit_->geometry().left() - 12 : inner.right();
    const QFont nameFont = Typography::system(13, QFont::DemiBold);
    const QFont codeFont = Typography::monospaced(11);
    const QFontMetricsF nameMetrics(nameFont), codeMetrics(codeFont);
    const double blockHeight = nameMetrics.height() + 3 + codeMetrics.height();
    const double top = inner.center().y() - blockHeight / 2;
    painter.setFont(nameFont);
    painter.setPen(DesktopAppearance::primaryText());
    const QString name = nameMetrics.elidedText(QString::fromStdString(content_.entry.name), Qt::ElideRight,
                                                std::max(0.0, right - left - 16));
    painter.drawText(QRectF(left, top, right - left, nameMetrics.height()),
                     Qt::AlignLeading | Qt::AlignVCenter, name);
    if (content_.isPinned) {
        const double x = left + nameMetrics.horizontalAdvance(name) + 6;
        PickerStyle::paintSymbol(painter, QStringLiteral("pin.fill"), DesktopAppearance::secondaryText(), 10,
                                 QRectF(x, top + (nameMetrics.height() - 10) / 2, 10, 10), true);
    }
    painter.setFont(codeFont);
    painter.setPen(DesktopAppearance::secondaryText());
    painter.drawText(
        QRectF(left, top + nameMetrics.height() + 3, right - left, codeMetrics.height()),
        Qt::AlignLeading | Qt::AlignVCenter,
        codeMetrics.elidedText(content_.shortcodesSummary, Qt::ElideRight, std::max(0.0, right - left)));
}

void LibraryShortcodeRow::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    hovered_ = true;
    update();
}

void LibraryShortcodeRow::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    hovered_ = false;
    update();
}

void LibraryShortcodeRow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && onSelect) onSelect();
}

void LibraryShortcodeRow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && onInsert) onInsert();
}

void LibraryShortcodeRow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* action = menu.addAction(content_.isPinned ? QStringLiteral("Unpin") : QStringLiteral("Pin"));
    if (menu.exec(event->globalPos()) == action && onTogglePin) onTogglePin();
}

}  // namespace mosaiko

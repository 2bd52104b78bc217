#include "library/ui/LibraryShortcodeRow.hpp"

#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTextOption>

#include "library/ui/LibraryText.hpp"
#include "picker/ui/PickerStyle.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/PlainToolTip.hpp"
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
    updateToolTip();
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

    const QRectF names = namesBox();
    const QFont nameFont = Typography::system(13, QFont::DemiBold);
    const QFont codeFont = Typography::monospaced(11);
    const QFontMetricsF nameMetrics(nameFont), codeMetrics(codeFont);
    const double top = names.center().y() - (nameMetrics.height() + 3 + codeMetrics.height()) / 2;
    const QString name = shownName();
    // A name runs in its own direction (a cut right-to-left name ends in "…" on its left) and
    // starts at the column's left edge like every other row's.
    QTextOption option(Qt::AlignLeft | Qt::AlignAbsolute | Qt::AlignVCenter);
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(name.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
    painter.setFont(nameFont);
    painter.setPen(DesktopAppearance::primaryText());
    painter.drawText(QRectF(names.left(), top, names.width(), nameMetrics.height()), name, option);
    if (content_.isPinned) {
        const double x = names.left() + nameMetrics.horizontalAdvance(name) + 6;
        PickerStyle::paintSymbol(painter, QStringLiteral("pin.fill"), DesktopAppearance::secondaryText(), 10,
                                 QRectF(x, top + (nameMetrics.height() - 10) / 2, 10, 10), true);
    }
    painter.setFont(codeFont);
    painter.setPen(DesktopAppearance::secondaryText());
    painter.drawText(
        QRectF(names.left(), top + nameMetrics.height() + 3, names.width(), codeMetrics.height()),
        Qt::AlignLeading | Qt::AlignVCenter,
        codeMetrics.elidedText(content_.shortcodesSummary, Qt::ElideRight, names.width()));
}

QRectF LibraryShortcodeRow::namesBox() const {
    // Between the text column and "Edit…" (which the layout keeps at the row's right margin).
    const QRectF inner = QRectF(rect()).adjusted(12, 10, -12, -10);
    const double left = inner.left() + kTextWidth + 12;
    const double right = content_.canEdit ? inner.right() - edit_->sizeHint().width() - 12 : inner.right();
    return {left, inner.top(), std::max(0.0, right - left), inner.height()};
}

QString LibraryShortcodeRow::shownName() const {
    // Room is left for the pin mark after the name.
    const QString name = QString::fromStdString(content_.entry.name);
    return QFontMetricsF(Typography::system(13, QFont::DemiBold))
        .elidedText(name, Qt::ElideRight, std::max(0.0, namesBox().width() - 16));
}

void LibraryShortcodeRow::updateToolTip() {
    const QString name = QString::fromStdString(content_.entry.name);
    setToolTip(shownName() != name ? plainToolTip(name) : QString());
}

void LibraryShortcodeRow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    updateToolTip();
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

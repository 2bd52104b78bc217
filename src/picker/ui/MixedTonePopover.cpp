#include "picker/ui/MixedTonePopover.hpp"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <algorithm>

#include "picker/ui/MixedToneVariantMatrix.hpp"
#include "picker/ui/PickerStyle.hpp"
#include "platform/qt/DesktopAppearance.hpp"

namespace mosaiko {

MixedTonePopover::MixedTonePopover(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                         Qt::X11BypassWindowManagerHint | Qt::WindowStaysOnTopHint),
      matrix_(new MixedToneVariantMatrix(this)) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setFocusPolicy(Qt::NoFocus);
    matrix_->move(0, arrowHeight);
    setFixedSize(matrix_->width(), matrix_->height() + arrowHeight);
}

void MixedTonePopover::placeAt(const QRect& anchor, Side preferred) {
    const QScreen* screen = QGuiApplication::screenAt(anchor.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    const bool roomBelow = area.isEmpty() || anchor.bottom() + 1 + height() <= area.bottom() + 1;
    const bool roomAbove = area.isEmpty() || anchor.top() - height() >= area.top();
    arrowOnTop_ = preferred == Side::below ? roomBelow || !roomAbove : !roomAbove && roomBelow;
    int x = anchor.center().x() - width() / 2;
    if (!area.isEmpty()) x = std::clamp(x, area.left(), std::max(area.left(), area.right() + 1 - width()));
    const int y = arrowOnTop_ ? anchor.bottom() + 1 : anchor.top() - height();
    arrowX_ = std::clamp(anchor.center().x() - x, 2 * arrowHeight, width() - 2 * arrowHeight);
    matrix_->move(0, arrowOnTop_ ? arrowHeight : 0);
    move(x, y);
    PickerStyle::shapeWindow(*this, outline());
    update();
}

void MixedTonePopover::showEvent(QShowEvent* event) {
    PickerStyle::shapeWindow(*this, outline());
    QWidget::showEvent(event);
}

QPainterPath MixedTonePopover::outline() const {
    const QRectF body = arrowOnTop_ ? QRectF(rect()).adjusted(0.5, arrowHeight + 0.5, -0.5, -0.5)
                                    : QRectF(rect()).adjusted(0.5, 0.5, -0.5, -arrowHeight - 0.5);
    QPainterPath path;
    path.addRoundedRect(body, 10, 10);
    const double base = arrowOnTop_ ? body.top() + 1 : body.bottom() - 1;
    const double tip = arrowOnTop_ ? 0.5 : height() - 0.5;
    QPainterPath arrow;
    arrow.moveTo(arrowX_ - arrowHeight, base);
    arrow.lineTo(arrowX_, tip);
    arrow.lineTo(arrowX_ + arrowHeight, base);
    arrow.closeSubpath();
    return path.united(arrow);
}

void MixedTonePopover::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath path = outline();
    painter.fillPath(path, DesktopAppearance::withOpacity(DesktopAppearance::windowBackground(), 0.98));
    painter.setPen(QPen(PickerStyle::black(0.15), 1));
    painter.drawPath(path);
}

}  // namespace mosaiko

#include "picker/ui/PickerTileButton.hpp"

#include <QMouseEvent>
#include <QPainter>
#include <utility>

namespace mosaiko {

PickerTileButton::PickerTileButton(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

void PickerTileButton::setPainter(Painter painter) {
    painter_ = std::move(painter);
    update();
}

void PickerTileButton::setOpacity(double opacity) {
    if (opacity == opacity_) return;
    opacity_ = opacity;
    update();
}

void PickerTileButton::paintEvent(QPaintEvent*) {
    if (!painter_) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setOpacity(opacity_);
    painter_(painter, QRectF(rect()));
}

void PickerTileButton::mouseMoveEvent(QMouseEvent* event) {
    if (!hovering_ && rect().contains(event->position().toPoint())) {
        hovering_ = true;
        emit hoverChanged(true);
    }
    if (rect().contains(event->position().toPoint())) emit pointerMoved();
    event->accept();
}

void PickerTileButton::mousePressEvent(QMouseEvent* event) {
    clicks_.press(*event, ClickTracker::wholeWidget(*this, *event));
    event->accept();
}

void PickerTileButton::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (clicks_.release(*event, ClickTracker::wholeWidget(*this, *event))) emit clicked(event->modifiers());
}

void PickerTileButton::enterEvent(QEnterEvent* event) {
    if (!hovering_) {
        hovering_ = true;
        emit hoverChanged(true);
    }
    QWidget::enterEvent(event);
}

void PickerTileButton::leaveEvent(QEvent* event) {
    if (hovering_) {
        hovering_ = false;
        emit hoverChanged(false);
    }
    QWidget::leaveEvent(event);
}

}  // namespace mosaiko

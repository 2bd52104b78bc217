#include "picker/ui/PickerPanel.hpp"

#include <QApplication>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "picker/ui/PickerStyle.hpp"
#include "platform/qt/DesktopAppearance.hpp"

namespace mosaiko {

PickerPanel::PickerPanel(QWidget* parent) : QWidget(parent, windowFlags) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    setWindowTitle(QStringLiteral("Quick Find"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    qApp->installEventFilter(this);
    // Whether a compositor runs is learnt now, while the panel is built, not at its first show.
    DesktopAppearance::translucentWindowsBlend();
}

PickerPanel::~PickerPanel() {
    qApp->removeEventFilter(this);
}

void PickerPanel::setContentView(QWidget* content) {
    layout()->addWidget(content);
    setFixedSize(content->size());
}

bool PickerPanel::eventFilter(QObject* watched, QEvent* event) {
    // Application-wide, so it sees the movement before whichever view lies under the pointer.
    if (event->type() == QEvent::MouseMove && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this && onMouseMoved) {
        // A movement that bubbles up from a view may come by more than once; the unlock is the same.
        onMouseMoved();
    }
    return QWidget::eventFilter(watched, event);
}

void PickerPanel::showEvent(QShowEvent* event) {
    PickerStyle::shapeWindow(*this, [this] {
        // Made once for the panel's size rather than on every show.
        if (shape_.isEmpty() || shapeSize_ != size()) {
            QPainterPath outline;
            outline.addRoundedRect(QRectF(rect()), PickerStyle::panelCornerRadius,
                                   PickerStyle::panelCornerRadius);
            shape_ = PickerStyle::shapeOf(outline);
            shapeSize_ = size();
        }
        return shape_;
    });
    QWidget::showEvent(event);
}

void PickerPanel::mousePressEvent(QMouseEvent* event) {
    // Presses no view took: drag the panel. It bypasses the window manager, so it moves itself.
    if (event->button() == Qt::LeftButton) {
        dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void PickerPanel::mouseMoveEvent(QMouseEvent* event) {
    if (dragOffset_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - *dragOffset_);
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void PickerPanel::mouseReleaseEvent(QMouseEvent* event) {
    dragOffset_.reset();
    QWidget::mouseReleaseEvent(event);
}

}  // namespace mosaiko

#include "picker/ui/PickerPanel.hpp"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "picker/ui/PickerStyle.hpp"
#include "platform/qt/DesktopAppearance.hpp"

#include <xcb/xcb.h>

#include <cstdint>

namespace mosaiko {

// Qt answers the mapping of a window by drawing it whole and sending all of it to the server, which
// has mapped it by then. The exposures the server reports for the same mapping would have Qt send
// all of it a second time (in as many pieces as the shape has rows at its rounded corners), on every
// search, while the user types: they are dropped.
class PickerPanel::MapExposures final : public QAbstractNativeEventFilter {
  public:
    explicit MapExposures(const QWidget& panel) : panel_(panel) { qApp->installNativeEventFilter(this); }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const WId window = panel_.internalWinId();
        switch (event->response_type & 0x7f) {
            case XCB_MAP_NOTIFY: {
                const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
                if (window && map->window == window && map->event == window) mapSequence_ = map->sequence;
                return false;
            }
            case XCB_EXPOSE: {
                const auto* expose = reinterpret_cast<const xcb_expose_event_t*>(event);
                if (!window || expose->window != window || !mapSequence_) return false;
                // Those of a later request (the panel uncovered) are Qt's to answer.
                if (expose->sequence != *mapSequence_) {
                    mapSequence_.reset();
                    return false;
                }
                if (expose->count == 0) mapSequence_.reset();
                return true;
            }
            default:
                return false;
        }
    }

  private:
    const QWidget& panel_;
    // The sequence number of the request that mapped the panel, until its exposures are through.
    std::optional<std::uint16_t> mapSequence_;
};

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
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        mapExposures_ = std::make_unique<MapExposures>(*this);
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

#include "picker/ui/PickerPanelController.hpp"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>

#include "picker/PickerViewModel.hpp"
#include "picker/ui/PickerPanel.hpp"
#include "picker/ui/PickerView.hpp"

namespace mosaiko {

namespace {

// Qt's global coordinates have y growing downwards from the top of the virtual desktop; ours grow
// upwards from the bottom of the primary screen.
QRect primaryGeometry() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->geometry() : QRect(0, 0, 800, 600);
}

PanelPlacement::Rect toPoints(const QRect& rect) {
    const QRect primary = primaryGeometry();
    const double bottom = primary.y() + primary.height();
    return {static_cast<double>(rect.x() - primary.x()), bottom - (rect.y() + rect.height()),
            static_cast<double>(rect.width()), static_cast<double>(rect.height())};
}

PanelPlacement::Screen screenOf(const QScreen* screen) {
    return {toPoints(screen->geometry()), toPoints(screen->availableGeometry())};
}

}  // namespace

PickerPanelController::ScreenSource PickerPanelController::ScreenSource::live() {
    ScreenSource source;
    source.mouseLocation = [] {
        const QPoint cursor = QCursor::pos();
        const QRect primary = primaryGeometry();
        return PanelPlacement::Point{static_cast<double>(cursor.x() - primary.x()),
                                     static_cast<double>(primary.y() + primary.height() - cursor.y())};
    };
    source.screens = [] {
        std::vector<PanelPlacement::Screen> screens;
        for (const QScreen* screen : QGuiApplication::screens()) screens.push_back(screenOf(screen));
        return screens;
    };
    source.mainScreen = []() -> std::optional<PanelPlacement::Screen> {
        const QScreen* primary = QGuiApplication::primaryScreen();
        if (!primary) return std::nullopt;
        return screenOf(primary);
    };
    source.topLeftInQt = [](const PanelPlacement::Rect& frame) {
        const QRect primary = primaryGeometry();
        return QPoint(
            static_cast<int>(std::lround(primary.x() + frame.x)),
            static_cast<int>(std::lround(primary.y() + primary.height() - (frame.y + frame.height))));
    };
    return source;
}

PickerPanelController::PickerPanelController(PickerViewModel& model, PreferencesStore& prefs,
                                             CollectionsStore& collections, ScreenSource screens)
    : model_(model), screens_(std::move(screens)), panel_(std::make_unique<PickerPanel>()) {
    view_ = new PickerView(model, prefs, collections);
    panel_->setContentView(view_);
    std::weak_ptr<bool> alive = alive_;
    panel_->onMouseMoved = [this, alive] {
        if (alive.lock()) unlockHoverIfMoved();
    };
}

PickerPanelController::~PickerPanelController() {
    alive_.reset();
    panel_->onMouseMoved = nullptr;
}

void PickerPanelController::show(PanelPlacement::Point point) {
    const auto screens = screens_.screens ? screens_.screens() : std::vector<PanelPlacement::Screen>{};
    const auto mainScreen = screens_.mainScreen ? screens_.mainScreen() : std::nullopt;
    lastFrame_ = PanelPlacement::frameNear(point, screens, mainScreen);
    // Asked anew: the pointer may have moved since `point` was taken.
    hoverUnlockOrigin_ = screens_.mouseLocation();
    model_.acceptsMouseHoverSelection.set(false);
    panel_->move(screens_.topLeftInQt(lastFrame_));
    panel_->show();
    // Above other always-on-top windows too (the offscreen test platform cannot raise).
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) panel_->raise();
    panel_->update();
    model_.isVisible.set(true);
}

void PickerPanelController::showNearPointer() {
    show(screens_.mouseLocation());
}

void PickerPanelController::hide() {
    panel_->hide();
    model_.isVisible.set(false);
}

bool PickerPanelController::isVisible() const {
    return panel_->isVisible();
}

void PickerPanelController::unlockHoverIfMoved() {
    if (!hoverUnlockOrigin_) return;
    if (!PanelPlacement::hasMovedEnoughToUnlockHover(*hoverUnlockOrigin_, screens_.mouseLocation())) return;
    hoverUnlockOrigin_.reset();
    model_.acceptsMouseHoverSelection.set(true);
}

}  // namespace mosaiko

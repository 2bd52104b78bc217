#include "picker/ui/PickerPanelController.hpp"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>

#include "picker/PickerShellServices.hpp"
#include "picker/PickerViewModel.hpp"
#include "picker/ui/PickerPanel.hpp"
#include "picker/ui/PickerView.hpp"

namespace mosaiko {

PickerPanelController::PickerPanelController(PickerViewModel& model, PreferencesStore& prefs,
                                             CollectionsStore& collections, const ScreenInfo& screens,
                                             std::function<ScreenInfo::Rect()> primaryDesktopFrame)
    : model_(model),
      screens_(screens),
      primaryDesktopFrame_(std::move(primaryDesktopFrame)),
      panel_(std::make_unique<PickerPanel>()) {
    if (!primaryDesktopFrame_) {
        primaryDesktopFrame_ = [] {
            const QScreen* primary = QGuiApplication::primaryScreen();
            const QRect r = primary ? primary->geometry() : QRect();
            return ScreenInfo::Rect{static_cast<double>(r.x()), static_cast<double>(r.y()),
                                    static_cast<double>(r.width()), static_cast<double>(r.height())};
        };
    }
    view_ = new PickerView(model, prefs, collections, [this] {
        if (shell_) shell_->openSettings();
    });
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
    lastFrame_ = PanelPlacement::frameNear(point, screens_);
    // Asked anew: the pointer may have moved since `point` was taken.
    hoverUnlockOrigin_ = screens_.pointerLocation();
    model_.lockHoverSelection();
    const ScreenInfo::Rect desktop = ScreenInfo::toDesktop(lastFrame_, primaryDesktopFrame_());
    panel_->move(static_cast<int>(std::lround(desktop.x)), static_cast<int>(std::lround(desktop.y)));
    panel_->show();
    // Above other always-on-top windows too (the offscreen test platform cannot raise).
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) panel_->raise();
    panel_->update();
    model_.setPanelVisible(true);
}

void PickerPanelController::showNearPointer() {
    show(screens_.pointerLocation());
}

void PickerPanelController::hide() {
    panel_->hide();
    model_.setPanelVisible(false);
}

bool PickerPanelController::isVisible() const {
    return panel_->isVisible();
}

void PickerPanelController::unlockHoverIfMoved() {
    if (!hoverUnlockOrigin_) return;
    if (!PanelPlacement::hasMovedEnoughToUnlockHover(*hoverUnlockOrigin_, screens_.pointerLocation())) return;
    hoverUnlockOrigin_.reset();
    model_.unlockHoverSelection();
}

}  // namespace mosaiko

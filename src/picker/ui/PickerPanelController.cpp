#include "picker/ui/PickerPanelController.hpp"

#include <QCoreApplication>
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
      prefs_(prefs),
      collections_(collections),
      screens_(screens),
      primaryDesktopFrame_(std::move(primaryDesktopFrame)) {
    if (!primaryDesktopFrame_) {
        primaryDesktopFrame_ = [] {
            const QScreen* primary = QGuiApplication::primaryScreen();
            const QRect r = primary ? primary->geometry() : QRect();
            return ScreenInfo::Rect{static_cast<double>(r.x()), static_cast<double>(r.y()),
                                    static_cast<double>(r.width()), static_cast<double>(r.height())};
        };
    }
}

PickerPanelController::~PickerPanelController() {
    alive_.reset();
    if (widgets_.panel) widgets_.panel->onMouseMoved = nullptr;
}

PickerPanelController::Widgets& PickerPanelController::built() const {
    if (widgets_.panel) return widgets_;
    if (beforeBuilding) beforeBuilding();
    auto* self = const_cast<PickerPanelController*>(this);
    widgets_.panel = std::make_unique<PickerPanel>();
    widgets_.view = new PickerView(model_, prefs_, collections_, [self] {
        if (self->shell_) self->shell_->openSettings();
    });
    widgets_.panel->setContentView(widgets_.view);
    std::weak_ptr<bool> alive = alive_;
    widgets_.panel->onMouseMoved = [self, alive] {
        if (alive.lock()) self->unlockHoverIfMoved();
    };
    return widgets_;
}

void PickerPanelController::show(PanelPlacement::Point point) {
    // Asked anew: the pointer may have moved since `point` was taken.
    showAt(point, screens_.pointerLocation());
}

void PickerPanelController::showAt(PanelPlacement::Point point, PanelPlacement::Point pointerNow) {
    lastFrame_ = PanelPlacement::frameNear(point, screens_);
    hoverUnlockOrigin_ = pointerNow;
    model_.lockHoverSelection();
    const ScreenInfo::Rect desktop = ScreenInfo::toDesktop(lastFrame_, primaryDesktopFrame_());
    PickerPanel& panel = *built().panel;
    panel.move(static_cast<int>(std::lround(desktop.x)), static_cast<int>(std::lround(desktop.y)));
    panel.show();
    // Above other always-on-top windows too (the offscreen test platform cannot raise).
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) panel.raise();
    panel.update();
    model_.setPanelVisible(true);
    // The views bring themselves up to date with the search and with the show now, before the panel
    // is first drawn, rather than after it, which drew it all a second time on every search while
    // the user typed. Their only posted calls are those redraws.
    for (QWidget* view : panel.findChildren<QWidget*>())
        QCoreApplication::sendPostedEvents(view, QEvent::MetaCall);
}

void PickerPanelController::showNearPointer() {
    // One question to the display server: the panel shows at once, on every search.
    const PanelPlacement::Point pointer = screens_.pointerLocation();
    showAt(pointer, pointer);
}

void PickerPanelController::hide() {
    if (widgets_.panel) widgets_.panel->hide();
    model_.setPanelVisible(false);
}

bool PickerPanelController::isVisible() const {
    return widgets_.panel && widgets_.panel->isVisible();
}

void PickerPanelController::unlockHoverIfMoved() {
    if (!hoverUnlockOrigin_) return;
    if (!PanelPlacement::hasMovedEnoughToUnlockHover(*hoverUnlockOrigin_, screens_.pointerLocation())) return;
    hoverUnlockOrigin_.reset();
    model_.unlockHoverSelection();
}

}  // namespace mosaiko

#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "picker/PanelPlacement.hpp"
#include "picker/PickerPanelPresenting.hpp"

namespace mosaiko {

class PickerViewModel;
class PreferencesStore;
class CollectionsStore;
class PickerPanel;
class PickerView;
class PickerShellServices;

// Owns the picker panel and its view, places it near the pointer on every show and keeps hover
// selection off until the pointer has really moved, so a panel that opens under a resting pointer
// does not move the keyboard selection.
class PickerPanelController : public PickerPanelPresenting {
  public:
    // `screens` gives the pointer and the screens in points (origin at the bottom left of the
    // primary screen); `primaryDesktopFrame` the primary screen's frame in Qt's global coordinates,
    // to convert the panel's frame at the boundary (Qt's primary screen by default).
    PickerPanelController(PickerViewModel& model, PreferencesStore& prefs, CollectionsStore& collections,
                          const ScreenInfo& screens,
                          std::function<ScreenInfo::Rect()> primaryDesktopFrame = {});
    ~PickerPanelController() override;
    PickerPanelController(const PickerPanelController&) = delete;
    PickerPanelController& operator=(const PickerPanelController&) = delete;

    // Places the panel near `point`, locks hover selection and shows the panel without activating.
    void show(PanelPlacement::Point point);
    void showNearPointer() override;
    void hide() override;
    bool isVisible() const override;

    PickerPanel& panel() const { return *built().panel; }
    // Builds the panel and its view now rather than at their first use, e.g. once the program is idle
    // after start, so that the first show does not pay for it.
    void prepare() const { built(); }

    // Runs just before the widgets are built: waits for what their fonts need, when that is under way
    // elsewhere.
    std::function<void()> beforeBuilding;

    // Where the settings buttons go; none (before the shell exists, and after it is gone): they do
    // nothing.
    void setShellServices(PickerShellServices* shell) { shell_ = shell; }
    PickerView& view() const { return *built().view; }
    // Where the pointer was when the panel last showed; none once hover is unlocked.
    std::optional<PanelPlacement::Point> hoverUnlockOrigin() const { return hoverUnlockOrigin_; }
    // The frame of the last show, in placement coordinates.
    PanelPlacement::Rect lastFrame() const { return lastFrame_; }

  private:
    struct Widgets {
        std::unique_ptr<PickerPanel> panel;
        PickerView* view = nullptr;  // owned by the panel
    };
    // The widgets are built at their first use: the program starts listening to the keyboard
    // without waiting for them.
    Widgets& built() const;
    // Shows the panel near `point`; hover stays locked until the pointer leaves `pointerNow`.
    void showAt(PanelPlacement::Point point, PanelPlacement::Point pointerNow);
    void unlockHoverIfMoved();

    PickerViewModel& model_;
    PreferencesStore& prefs_;
    CollectionsStore& collections_;
    const ScreenInfo& screens_;
    PickerShellServices* shell_ = nullptr;
    std::function<ScreenInfo::Rect()> primaryDesktopFrame_;
    mutable Widgets widgets_;
    std::optional<PanelPlacement::Point> hoverUnlockOrigin_;
    PanelPlacement::Rect lastFrame_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace mosaiko

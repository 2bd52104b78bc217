#pragma once

namespace mosaiko {

// What the picker controller needs of the floating panel. The panel implements it; the controller
// reaches it through its Dependencies (showPanelNearMouse, hidePanel).
class PickerPanelPresenting {
  public:
    virtual ~PickerPanelPresenting() = default;

    // Shows the panel next to the mouse pointer without taking keyboard focus or activating the
    // application, locks hover selection until the pointer moves, and marks the model visible.
    virtual void showNearPointer() = 0;
    // Hides the panel and marks the model not visible.
    virtual void hide() = 0;
    virtual bool isVisible() const = 0;
};

}  // namespace mosaiko

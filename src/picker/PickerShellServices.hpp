#pragma once

namespace mosaiko {

// What the picker's views ask of the application shell directly (everything else goes through the
// picker controller). The shell hands its implementation to the picker's panel once it exists;
// until then, or when it is gone, the views do nothing.
class PickerShellServices {
  public:
    virtual ~PickerShellServices() = default;

    // Shows the settings window in front and activates the application.
    virtual void openSettings() = 0;
};

}  // namespace mosaiko

#pragma once

namespace mosaiko {

// What the picker's views ask of the application shell directly (everything else goes through the
// picker controller). The shell installs its implementation once at start; until then, or when it
// is gone, the views do nothing.
class PickerShellServices {
  public:
    virtual ~PickerShellServices() = default;

    // Shows the settings window in front and activates the application.
    virtual void openSettings() = 0;

    // The installed implementation, or null.
    static PickerShellServices* shared() { return installed(); }
    static void install(PickerShellServices* services) { installed() = services; }

  private:
    static PickerShellServices*& installed() {
        static PickerShellServices* services = nullptr;
        return services;
    }
};

}  // namespace mosaiko

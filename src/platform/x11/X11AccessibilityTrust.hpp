#pragma once

#include <string>

#include "platform/AccessibilityTrust.hpp"

namespace mosaiko {

// Trusted when an X11 display is reachable, offers XTEST (typing into other applications) and lets
// us grab keys on its root window (observing the keyboard). Checked anew on every call. Under
// Xwayland the check passes, but only X11 applications can be observed and typed into.
class X11AccessibilityTrust final : public AccessibilityTrust {
  public:
    // The display to check; $DISPLAY when empty.
    explicit X11AccessibilityTrust(std::string displayName = {}) : displayName_(std::move(displayName)) {}

    bool isTrusted() const override { return reason().empty(); }
    std::string reason() const override;

  private:
    std::string displayName_;
};

}  // namespace mosaiko

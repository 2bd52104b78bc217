#pragma once

#include <string>

#include "platform/AccessibilityTrust.hpp"

namespace mosaiko {

// Trusted when an X11 display is reachable, offers XTEST (typing into other applications) and
// XInput 2.1 raw key events (observing the keyboard), and grants us key grabs (holding the keys the
// picker swallows). Checked anew on every call; the program's own key tap does not stand in its way. Under
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

#pragma once

#include "platform/ScreenInfo.hpp"

namespace mosaiko {

// Qt's screens and cursor position, converted from Qt's device-independent desktop coordinates
// (top-left origin, y downwards) to points with the origin at the bottom-left of the primary screen.
class QtScreenInfo final : public ScreenInfo {
  public:
    std::vector<Screen> screens() const override;
    Point pointerLocation() const override;
};

}  // namespace mosaiko

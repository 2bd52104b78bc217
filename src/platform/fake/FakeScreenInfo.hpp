#pragma once

#include <vector>

#include "platform/ScreenInfo.hpp"

namespace mosaiko {

// Screens and a pointer that tests set directly.
class FakeScreenInfo final : public ScreenInfo {
  public:
    std::vector<Screen> screens() const override { return screenList; }
    Point pointerLocation() const override { return pointer; }

    std::vector<Screen> screenList;
    Point pointer;
};

}  // namespace mosaiko

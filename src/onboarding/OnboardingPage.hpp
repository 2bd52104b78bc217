#pragma once

namespace mosaiko {

// The pages of the guide, in order.
enum class OnboardingPage { welcome = 0, tipps = 1, permissions = 2 };

}  // namespace mosaiko

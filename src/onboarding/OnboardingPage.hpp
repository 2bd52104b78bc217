#pragma once

#include <array>
#include <optional>

namespace mosaiko {

// The pages of the guide, in order: the order of its tabs and of its steps.
enum class OnboardingPage { welcome = 0, tipps = 1, permissions = 2 };

namespace onboarding_page {

inline constexpr std::array<OnboardingPage, 3> allCases = {OnboardingPage::welcome, OnboardingPage::tipps,
                                                           OnboardingPage::permissions};

inline constexpr int rawValue(OnboardingPage page) {
    return static_cast<int>(page);
}
// A page only for 0, 1 and 2.
std::optional<OnboardingPage> fromRawValue(int raw);

// What the guide's header and tabs show for a page.
struct Presentation {
    const char* tabTitle;
    const char* tabSymbol;  // a symbol image name
    const char* headerEmoji;
    const char* headline;
};
const Presentation& presentation(OnboardingPage page);

}  // namespace onboarding_page

}  // namespace mosaiko

#include "onboarding/OnboardingPage.hpp"

namespace mosaiko::onboarding_page {

std::optional<OnboardingPage> fromRawValue(int raw) {
    for (const OnboardingPage page : allCases) {
        if (rawValue(page) == raw) return page;
    }
    return std::nullopt;
}

const Presentation& presentation(OnboardingPage page) {
    static const std::array<Presentation, 3> pages = {{
        {"Welcome", "sparkles.rectangle.stack.fill", "\u2728",
         "Mosaiko should feel invisible until you need it."},
        {"Tipps", "heart.text.square.fill", "\U0001FAF6", "A few tiny tricks make it feel much smarter."},
        {"Permissions", "hand.raised.square.fill", "\U0001F6E1\uFE0F",
         "Accessibility is the only permission that matters."},
    }};
    return pages[static_cast<std::size_t>(rawValue(page))];
}

}  // namespace mosaiko::onboarding_page

#include "content/SkinTone.hpp"

namespace mosaiko::skin_tone {

namespace {
constexpr std::array<std::string_view, 6> kRawValues = {"default", "light",      "mediumLight",
                                                        "medium",  "mediumDark", "dark"};
constexpr std::array<std::string_view, 6> kDisplayNames = {"Default", "Light",       "Medium Light",
                                                           "Medium",  "Medium Dark", "Dark"};
}  // namespace

std::string_view rawValue(SkinTone tone) {
    return kRawValues[static_cast<std::size_t>(ordinal(tone))];
}

std::optional<SkinTone> fromRawValue(std::string_view raw) {
    for (auto tone : allCases) {
        if (rawValue(tone) == raw) return tone;
    }
    return std::nullopt;
}

std::string_view displayName(SkinTone tone) {
    return kDisplayNames[static_cast<std::size_t>(ordinal(tone))];
}

}  // namespace mosaiko::skin_tone

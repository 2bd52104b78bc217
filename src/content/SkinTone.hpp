#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace mosaiko {

// Persisted and encoded by case name; the order is the order of declaration.
enum class SkinTone { defaultTone = 0, light, mediumLight, medium, mediumDark, dark };

namespace skin_tone {
inline constexpr std::array<SkinTone, 6> allCases = {SkinTone::defaultTone, SkinTone::light,
                                                     SkinTone::mediumLight, SkinTone::medium,
                                                     SkinTone::mediumDark,  SkinTone::dark};
// "default", "light", "mediumLight", ...
std::string_view rawValue(SkinTone tone);
std::optional<SkinTone> fromRawValue(std::string_view raw);
// "Default", "Light", "Medium Light", ...
std::string_view displayName(SkinTone tone);
inline int ordinal(SkinTone tone) {
    return static_cast<int>(tone);
}
}  // namespace skin_tone

}  // namespace mosaiko

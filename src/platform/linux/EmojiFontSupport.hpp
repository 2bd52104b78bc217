#pragma once

#include <functional>
#include <optional>

#include "platform/OperatingSystemVersion.hpp"

namespace mosaiko {

// The family the program draws emoji with (Debian's fonts-noto-color-emoji).
inline constexpr const char* kColorEmojiFontFamily = "Noto Color Emoji";

// The system version that first showed every emoji of `emojiVersion`: the version of the newest known
// emoji version not newer than it. Emoji versions older than the first known one (0.6, 0.7, or 0 for
// "none") give 0.0.0, which is lower than every minimum version in the data file.
OperatingSystemVersion systemVersionForEmojiVersion(double emojiVersion);

// The highest emoji version whose probe characters a font has, together with those of every older
// version; 0 when it lacks even the oldest. Versions that added only sequences (12.1, 13.1, 15.1) have
// no characters of their own to probe, so this never answers them: a font is credited with the newest
// version that brought new characters.
double highestCoveredEmojiVersion(const std::function<bool(char32_t)>& fontHasCharacter);

// The highest emoji version the installed colour-emoji font covers, as above; none when fontconfig
// knows no font of that family.
std::optional<double> installedEmojiFontVersion();

// The running system version for the availability filter of the emoji data: the version mapped from
// what the colour-emoji font covers, so that emoji the font cannot draw stay hidden. Without the font
// nothing draws in colour anyway, and hiding every emoji would leave the program useless, so the newest
// known version is returned and everything stays visible.
OperatingSystemVersion detectEmojiSystemVersion();

}  // namespace mosaiko

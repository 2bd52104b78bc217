#include "platform/linux/EmojiFontSupport.hpp"

#include <gtest/gtest.h>

#include <set>

namespace mosaiko {
namespace {

TEST(EmojiFontSupport, MapsEmojiVersionsToTheFirstSystemThatShowedThem) {
    EXPECT_EQ(systemVersionForEmojiVersion(1.0), (OperatingSystemVersion{10, 11, 1}));
    EXPECT_EQ(systemVersionForEmojiVersion(11.0), (OperatingSystemVersion{10, 14, 1}));
    EXPECT_EQ(systemVersionForEmojiVersion(12.1), (OperatingSystemVersion{10, 15, 1}));
    EXPECT_EQ(systemVersionForEmojiVersion(13.0), (OperatingSystemVersion{11, 0, 1}));
    EXPECT_EQ(systemVersionForEmojiVersion(15.0), (OperatingSystemVersion{13, 3, 0}));
    // Between known versions the older one applies; past the newest, the newest.
    EXPECT_EQ(systemVersionForEmojiVersion(14.5), (OperatingSystemVersion{12, 3, 0}));
    EXPECT_EQ(systemVersionForEmojiVersion(99.0), (OperatingSystemVersion{14, 4, 0}));
    // Older than every known version: lower than any minimum version of the data.
    EXPECT_EQ(systemVersionForEmojiVersion(0.7), (OperatingSystemVersion{0, 0, 0}));
    EXPECT_EQ(systemVersionForEmojiVersion(0.0), (OperatingSystemVersion{0, 0, 0}));
}

TEST(EmojiFontSupport, NewerEmojiVersionsNeverMapToOlderSystems) {
    OperatingSystemVersion previous;
    for (int tenths = 0; tenths <= 170; ++tenths) {
        auto current = systemVersionForEmojiVersion(tenths / 10.0);
        EXPECT_LE(previous, current) << "at emoji version " << tenths / 10.0;
        previous = current;
    }
}

TEST(EmojiFontSupport, CreditsAFontWithTheNewestVersionItFullyCovers) {
    EXPECT_EQ(highestCoveredEmojiVersion([](char32_t) { return true; }), 15.0);
    EXPECT_EQ(highestCoveredEmojiVersion([](char32_t) { return false; }), 0.0);

    // A font of the Emoji 13.0 era: nothing from the 14.0 block of the plane.
    auto upTo13 = [](char32_t character) { return character < 0x1FAD0; };
    EXPECT_EQ(highestCoveredEmojiVersion(upTo13), 13.0);

    // One missing character of a version is enough, and newer versions do not fill the gap.
    std::set<char32_t> missing{0x1F977};  // ninja, Emoji 13.0
    auto lacksNinja = [&missing](char32_t character) { return missing.count(character) == 0; };
    EXPECT_EQ(highestCoveredEmojiVersion(lacksNinja), 12.0);
    missing = {0x1F98A};  // fox, Emoji 3.0
    EXPECT_EQ(highestCoveredEmojiVersion(lacksNinja), 2.0);
}

TEST(EmojiFontSupport, DetectsTheInstalledColourEmojiFont) {
    auto fontVersion = installedEmojiFontVersion();
    ASSERT_TRUE(fontVersion.has_value())
        << "fontconfig finds no \"" << kColorEmojiFontFamily
        << "\" font; scripts/bootstrap installs it (Debian package fonts-noto-color-emoji)";
    // Debian 12's fonts-noto-color-emoji 2.042 covers Emoji 15.0.
    EXPECT_EQ(*fontVersion, 15.0);
    EXPECT_EQ(detectEmojiSystemVersion(), (OperatingSystemVersion{13, 3, 0}));
}

}  // namespace
}  // namespace mosaiko

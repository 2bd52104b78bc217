#include "platform/linux/EmojiFontSupport.hpp"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace mosaiko {

namespace {

struct EmojiVersionRow {
    double emojiVersion;
    // First desktop release of the platform whose version numbers the data file uses that shipped an
    // emoji font with this emoji version. tools/generate_emojis.py holds the same table.
    OperatingSystemVersion systemVersion;
    // A few base emoji that this version introduced; empty for versions that added only sequences.
    std::u32string_view probes;
};

constexpr std::array<EmojiVersionRow, 13> kEmojiVersions{{
    {1.0, {10, 11, 1}, U"\U0001F32E\U0001F984"},   // taco, unicorn
    {2.0, {10, 11, 1}, U"\U0001F5E8"},             // left speech bubble
    {3.0, {10, 12, 2}, U"\U0001F923\U0001F98A"},   // rolling on the floor laughing, fox
    {4.0, {10, 12, 2}, U"\u2640\u2695"},           // female sign, medical symbol
    {5.0, {10, 13, 1}, U"\U0001F92A\U0001F9E6"},   // zany face, socks
    {11.0, {10, 14, 1}, U"\U0001F973\U0001F9B8"},  // partying face, superhero
    {12.0, {10, 15, 1}, U"\U0001F971\U0001F9A9"},  // yawning face, flamingo
    {12.1, {10, 15, 1}, U""},
    {13.0, {11, 0, 1}, U"\U0001F972\U0001F977"},  // smiling face with tear, ninja
    {13.1, {11, 3, 0}, U""},
    {14.0, {12, 3, 0}, U"\U0001FAE0\U0001FAE7"},  // melting face, bubbles
    {15.0, {13, 3, 0}, U"\U0001FAE8\U0001FABF"},  // shaking face, goose
    {15.1, {14, 4, 0}, U""},
}};

}  // namespace

OperatingSystemVersion systemVersionForEmojiVersion(double emojiVersion) {
    OperatingSystemVersion result;
    for (const auto& row : kEmojiVersions) {
        if (row.emojiVersion > emojiVersion) break;
        result = row.systemVersion;
    }
    return result;
}

double highestCoveredEmojiVersion(const std::function<bool(char32_t)>& fontHasCharacter) {
    double covered = 0;
    for (const auto& row : kEmojiVersions) {
        if (row.probes.empty()) continue;
        if (!std::all_of(row.probes.begin(), row.probes.end(), fontHasCharacter)) break;
        covered = row.emojiVersion;
    }
    return covered;
}

std::optional<double> installedEmojiFontVersion() {
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return std::nullopt;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(kColorEmojiFontFamily));
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_CHARSET, nullptr);
    FcFontSet* fonts = objects != nullptr ? FcFontList(nullptr, pattern, objects) : nullptr;
    if (objects != nullptr) FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    if (fonts == nullptr) return std::nullopt;

    // Every file of the family counts: a character is drawable when one of them has it.
    std::vector<FcCharSet*> charsets;
    for (int i = 0; i < fonts->nfont; ++i) {
        FcCharSet* charset = nullptr;
        if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &charset) == FcResultMatch) {
            charsets.push_back(charset);
        }
    }
    std::optional<double> version;
    if (!charsets.empty()) {
        version = highestCoveredEmojiVersion([&charsets](char32_t character) {
            return std::any_of(charsets.begin(), charsets.end(), [character](FcCharSet* charset) {
                return FcCharSetHasChar(charset, character) == FcTrue;
            });
        });
    }
    FcFontSetDestroy(fonts);  // also releases the charsets
    return version;
}

OperatingSystemVersion detectEmojiSystemVersion() {
    auto version = installedEmojiFontVersion();
    if (!version) return kEmojiVersions.back().systemVersion;
    return systemVersionForEmojiVersion(*version);
}

}  // namespace mosaiko

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/OperatingSystemVersion.hpp"
#include "platform/linux/EmojiFontSupport.hpp"

namespace mosaiko {
namespace {

using nlohmann::json;

const std::map<std::string, int> kToneOrdinals{
    {"light", 1}, {"mediumLight", 2}, {"medium", 3}, {"mediumDark", 4}, {"dark", 5}};

// The shipped data file, parsed once for all tests.
const json& dataFile() {
    static const json file = [] {
        std::ifstream stream(MOSAIKO_SOURCE_DIR "/resources/emojis.json", std::ios::binary);
        if (!stream) return json();
        return json::parse(stream, nullptr, /*allow_exceptions=*/false);
    }();
    return file;
}

const json& entries() {
    static const json empty = json::array();
    const auto& file = dataFile();
    if (!file.is_object() || !file.contains("emojis") || !file["emojis"].is_array()) return empty;
    return file["emojis"];
}

const json* entryWithID(const std::string& id) {
    for (const auto& entry : entries()) {
        if (entry.value("id", "") == id) return &entry;
    }
    return nullptr;
}

const json* optionWithTones(const json& entry, const std::vector<std::string>& tones) {
    if (!entry.contains("variants")) return nullptr;
    for (const auto& option : entry["variants"]["options"]) {
        if (option["tones"].get<std::vector<std::string>>() == tones) return &option;
    }
    return nullptr;
}

bool hasString(const json& list, const std::string& text) {
    return std::find(list.begin(), list.end(), json(text)) != list.end();
}

bool isMixed(const json& option) {
    auto tones = option["tones"].get<std::vector<std::string>>();
    return std::set<std::string>(tones.begin(), tones.end()).size() >= 2;
}

// Version texts as the availability filter reads them: one to three non-empty decimal pieces.
std::optional<OperatingSystemVersion> parseVersion(const std::string& text) {
    std::vector<std::int64_t> parts;
    std::size_t start = 0;
    while (true) {
        auto end = text.find('.', start);
        auto piece = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (piece.empty() || piece.size() > 9 || piece.find_first_not_of("0123456789") != std::string::npos) {
            return std::nullopt;
        }
        parts.push_back(std::stoll(piece));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (parts.size() > 3) return std::nullopt;
    parts.resize(3, 0);
    return OperatingSystemVersion{parts[0], parts[1], parts[2]};
}

TEST(EmojiDataFile, HoldsEveryEmojiOfVersion15WithTonesAsVariants) {
    ASSERT_TRUE(dataFile().is_object()) << "resources/emojis.json is missing or not a JSON object";
    ASSERT_EQ(entries().size(), 1870u);

    int withTones = 0, withMixedTones = 0, tonedForms = 0, mixedForms = 0;
    for (const auto& entry : entries()) {
        if (!entry.contains("variants")) continue;
        ++withTones;
        const auto& options = entry["variants"]["options"];
        tonedForms += static_cast<int>(options.size()) - 1;
        int mixed = 0;
        for (const auto& option : options) mixed += isMixed(option) ? 1 : 0;
        mixedForms += mixed;
        withMixedTones += mixed > 0 ? 1 : 0;
    }
    EXPECT_EQ(withTones, 305);
    EXPECT_EQ(withMixedTones, 13);
    EXPECT_EQ(tonedForms, 1785);
    EXPECT_EQ(mixedForms, 260);
}

TEST(EmojiDataFile, EveryEntryHasTheShapeTheLoaderReads) {
    const std::set<std::string> known{"id",         "emoji",    "name",     "category",
                                      "shortcodes", "keywords", "variants", "minimumMacOSVersion"};
    for (const auto& entry : entries()) {
        ASSERT_TRUE(entry.is_object());
        SCOPED_TRACE(entry.dump());
        for (const auto& [key, value] : entry.items()) EXPECT_TRUE(known.count(key)) << key;
        for (const char* key : {"id", "emoji", "name", "category"}) {
            ASSERT_TRUE(entry.contains(key) && entry[key].is_string()) << key;
            EXPECT_FALSE(entry[key].get<std::string>().empty()) << key;
        }
        for (const char* key : {"shortcodes", "keywords"}) {
            ASSERT_TRUE(entry.contains(key) && entry[key].is_array()) << key;
            for (const auto& word : entry[key])
                EXPECT_TRUE(word.is_string() && !word.get<std::string>().empty());
        }
        EXPECT_FALSE(entry["keywords"].empty());
        if (entry.contains("minimumMacOSVersion")) {
            ASSERT_TRUE(entry["minimumMacOSVersion"].is_string());
            EXPECT_TRUE(parseVersion(entry["minimumMacOSVersion"]));
        }
        if (!entry.contains("variants")) continue;

        const auto& variants = entry["variants"];
        ASSERT_TRUE(variants.is_object() && variants.contains("options") && variants["options"].is_array());
        for (const auto& option : variants["options"]) {
            ASSERT_TRUE(option.is_object() && option.contains("emoji") && option["emoji"].is_string());
            ASSERT_TRUE(option.contains("tones") && option["tones"].is_array());
            for (const auto& tone : option["tones"]) {
                ASSERT_TRUE(tone.is_string());
                EXPECT_TRUE(kToneOrdinals.count(tone.get<std::string>())) << tone;
            }
            if (option.contains("minimumMacOSVersion")) {
                ASSERT_TRUE(option["minimumMacOSVersion"].is_string());
                EXPECT_TRUE(parseVersion(option["minimumMacOSVersion"]));
            }
        }
    }
}

TEST(EmojiDataFile, OptionsStartWithTheBaseEmojiAndAreInCanonicalOrder) {
    for (const auto& entry : entries()) {
        if (!entry.contains("variants")) continue;
        SCOPED_TRACE(entry["id"].get<std::string>());
        const auto& options = entry["variants"]["options"];
        ASSERT_GE(options.size(), 6u);  // untoned plus at least the five single tones
        EXPECT_EQ(options[0]["emoji"], entry["emoji"]);
        EXPECT_TRUE(options[0]["tones"].empty());
        EXPECT_EQ(options[0].value("minimumMacOSVersion", ""), entry.value("minimumMacOSVersion", ""));

        // Untoned, then single tones, then mixed ones, each by tone ordinal.
        auto key = [](const json& option) {
            auto tones = option["tones"].get<std::vector<std::string>>();
            int kind = tones.empty() ? 0 : isMixed(option) ? 2 : 1;
            std::vector<int> ordinals;
            for (const auto& tone : tones) ordinals.push_back(kToneOrdinals.at(tone));
            return std::make_pair(kind, ordinals);
        };
        for (std::size_t i = 1; i < options.size(); ++i) {
            EXPECT_LT(key(options[i - 1]), key(options[i])) << options[i].dump();
        }
        for (const char* tone : {"light", "mediumLight", "medium", "mediumDark", "dark"}) {
            EXPECT_TRUE(optionWithTones(entry, {tone})) << tone;
        }
    }
}

TEST(EmojiDataFile, IdsAndTextsAreUnique) {
    // The lookups by id and by text keep one entry per key: a duplicate would hide another emoji.
    std::set<std::string> ids, texts;
    for (const auto& entry : entries()) {
        auto id = entry["id"].get<std::string>();
        EXPECT_TRUE(ids.insert(id).second) << "duplicate id " << id;
        for (const char* prefix : {"emoticon-", "glyph-", "snippet-", "recent-"}) {
            EXPECT_NE(id.rfind(prefix, 0), 0u) << id << " uses a prefix of the built-in entries";
        }
        EXPECT_TRUE(texts.insert(entry["emoji"].get<std::string>()).second) << id;
        if (!entry.contains("variants")) continue;
        for (const auto& option : entry["variants"]["options"]) {
            if (option["emoji"] == entry["emoji"]) continue;
            EXPECT_TRUE(texts.insert(option["emoji"].get<std::string>()).second) << option["emoji"];
        }
    }
    EXPECT_EQ(texts.size(), 3655u);
}

TEST(EmojiDataFile, KnownEntries) {
    const json* grinning = entryWithID("grinning");
    ASSERT_TRUE(grinning);
    EXPECT_EQ((*grinning)["emoji"], "\U0001F600");
    EXPECT_EQ((*grinning)["name"], "grinning face");
    EXPECT_EQ((*grinning)["category"], "Smileys & Emotion");
    EXPECT_TRUE(hasString((*grinning)["shortcodes"], "grinning"));
    EXPECT_TRUE(hasString((*grinning)["keywords"], "smile"));
    EXPECT_TRUE(hasString((*grinning)["keywords"], "happy"));
    EXPECT_FALSE(grinning->contains("variants"));
    EXPECT_EQ(entries()[0]["id"], "grinning");  // the file keeps the Unicode order

    const json* thumbsUp = entryWithID("thumbsup");
    ASSERT_TRUE(thumbsUp);
    EXPECT_EQ((*thumbsUp)["emoji"], "\U0001F44D");
    EXPECT_EQ((*thumbsUp)["category"], "People & Body");
    EXPECT_TRUE(hasString((*thumbsUp)["shortcodes"], "+1"));
    EXPECT_TRUE(hasString((*thumbsUp)["shortcodes"], "thumbsup"));
    EXPECT_EQ((*thumbsUp)["variants"]["options"].size(), 6u);
    const json* light = optionWithTones(*thumbsUp, {"light"});
    ASSERT_TRUE(light);
    EXPECT_EQ((*light)["emoji"], "\U0001F44D\U0001F3FB");
    const json* dark = optionWithTones(*thumbsUp, {"dark"});
    ASSERT_TRUE(dark);
    EXPECT_EQ((*dark)["emoji"], "\U0001F44D\U0001F3FF");

    const json* heart = entryWithID("heart");
    ASSERT_TRUE(heart);
    EXPECT_EQ((*heart)["emoji"], "\u2764\uFE0F");  // with the presentation selector
    EXPECT_EQ((*heart)["name"], "red heart");
    EXPECT_TRUE(hasString((*heart)["shortcodes"], "heart"));
    EXPECT_TRUE(hasString((*heart)["keywords"], "love"));

    const json* joy = entryWithID("joy");
    ASSERT_TRUE(joy);
    EXPECT_EQ((*joy)["emoji"], "\U0001F602");
    EXPECT_TRUE(hasString((*joy)["shortcodes"], "joy"));
}

TEST(EmojiDataFile, TwoPersonEmojiOfferSingleAndMixedTones) {
    const json* handshake = entryWithID("handshake");
    ASSERT_TRUE(handshake);
    EXPECT_EQ((*handshake)["emoji"], "\U0001F91D");
    EXPECT_EQ((*handshake)["variants"]["options"].size(), 26u);  // untoned, 5 single, 20 mixed
    const json* light = optionWithTones(*handshake, {"light"});
    ASSERT_TRUE(light);
    EXPECT_EQ((*light)["emoji"], "\U0001F91D\U0001F3FB");
    const json* lightDark = optionWithTones(*handshake, {"light", "dark"});
    ASSERT_TRUE(lightDark);
    EXPECT_EQ((*lightDark)["emoji"], "\U0001FAF1\U0001F3FB\u200D\U0001FAF2\U0001F3FF");
    const json* darkLight = optionWithTones(*handshake, {"dark", "light"});
    ASSERT_TRUE(darkLight);
    EXPECT_EQ((*darkLight)["emoji"], "\U0001FAF1\U0001F3FF\u200D\U0001FAF2\U0001F3FB");
    // The handshake itself is older than its toned forms.
    EXPECT_EQ((*handshake)["minimumMacOSVersion"], "10.12.2");
    EXPECT_EQ((*lightDark)["minimumMacOSVersion"], "12.3");

    const json* holdingHands = entryWithID("people_holding_hands");
    ASSERT_TRUE(holdingHands);
    const json* bothMedium = optionWithTones(*holdingHands, {"medium"});
    ASSERT_TRUE(bothMedium);
    EXPECT_EQ((*bothMedium)["emoji"], "\U0001F9D1\U0001F3FD\u200D\U0001F91D\u200D\U0001F9D1\U0001F3FD");
    EXPECT_TRUE(optionWithTones(*holdingHands, {"mediumDark", "light"}));
}

TEST(EmojiDataFile, MinimumVersionsAreOnesTheFontCheckCanReach) {
    // Every minimum version must be one that the running system's version (mapped from the emoji
    // font) can equal, or emoji the font draws would be hidden; and toned forms are never older than
    // their base emoji.
    std::set<OperatingSystemVersion> reachable;
    for (int tenths = 10; tenths <= 160; ++tenths)
        reachable.insert(systemVersionForEmojiVersion(tenths / 10.0));

    OperatingSystemVersion newest;
    auto check = [&](const json& object, OperatingSystemVersion floor) {
        if (!object.contains("minimumMacOSVersion")) {
            EXPECT_EQ(floor, OperatingSystemVersion{}) << object.dump();
            return floor;
        }
        auto version = parseVersion(object["minimumMacOSVersion"]).value_or(OperatingSystemVersion{});
        EXPECT_TRUE(reachable.count(version)) << object.dump();
        EXPECT_GE(version, floor) << object.dump();
        newest = std::max(newest, version);
        return version;
    };
    for (const auto& entry : entries()) {
        auto base = check(entry, {});
        if (!entry.contains("variants")) continue;
        for (const auto& option : entry["variants"]["options"]) check(option, base);
    }
    EXPECT_EQ(newest, systemVersionForEmojiVersion(15.0));
}

}  // namespace
}  // namespace mosaiko

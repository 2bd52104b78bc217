#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "content/EmojiEntry.hpp"

namespace mosaiko {
namespace {

using Option = EmojiEntry::Variants::Option;
using Tones = std::vector<SkinTone>;
constexpr auto L = SkinTone::light;
constexpr auto M = SkinTone::medium;
constexpr auto D = SkinTone::dark;

Option opt(std::string emoji, Tones tones) {
    return Option{std::move(emoji), std::move(tones), std::nullopt};
}

std::vector<std::string> texts(const EmojiEntry::Variants& v) {
    std::vector<std::string> out;
    for (const auto& o : v.options()) out.push_back(o.emoji);
    return out;
}

std::string emojiOf(const Option* option) {
    return option ? option->emoji : "<none>";
}

Json entryJson(Json variants) {
    Json j = {{"id", "e1"},           {"emoji", "A"},         {"name", "Name"},
              {"category", "People"}, {"shortcodes", {"sc"}}, {"keywords", Json::array()}};
    if (!variants.is_null()) j["variants"] = std::move(variants);
    return j;
}

TEST(EmojiEntryVariants, NormalizationKeepsTheFirstTextAndSortsByClassTonesThenText) {
    // The later X is dropped although its tones differ.
    EXPECT_EQ(texts(EmojiEntry::Variants({opt("X", {L}), opt("Y", {}), opt("X", {D})})),
              (std::vector<std::string>{"Y", "X"}));

    // Mixed after every single-tone option (also after [dark, dark]); [light, light] before [dark];
    // a proper prefix first; equal tones ordered by text.
    EmojiEntry::Variants v({opt("mix", {L, D}), opt("dd", {D, D}), opt("d", {D}), opt("ll", {L, L}),
                            opt("l", {L}), opt("b-base", {}), opt("a-base", {})});
    EXPECT_EQ(texts(v), (std::vector<std::string>{"a-base", "b-base", "l", "ll", "d", "dd", "mix"}));

    // Canonically equivalent texts are one text: precomposed and decomposed e-acute.
    EmojiEntry::Variants equivalent({opt("\xC3\xA9", {L}), opt("e\xCC\x81", {D})});
    ASSERT_EQ(equivalent.options().size(), 1u);
    EXPECT_EQ(equivalent.options()[0].tones, Tones{L});
    EXPECT_EQ(emojiOf(equivalent.option(std::string_view("e\xCC\x81"))), "\xC3\xA9");
}

TEST(EmojiEntryVariants, PreferredOptionFollowsExactTonesThenAnyLengthThenUntoned) {
    EmojiEntry::Variants twoPerson({opt("base", {}), opt("l", {L}), opt("ll", {L, L}), opt("dd", {D, D})});
    EXPECT_EQ(emojiOf(twoPerson.preferredOption(L)), "ll");
    EXPECT_EQ(emojiOf(twoPerson.preferredOption(D)), "dd");
    EXPECT_EQ(emojiOf(twoPerson.preferredOption(SkinTone::defaultTone)), "base");
    EXPECT_EQ(emojiOf(twoPerson.preferredOption(M)), "base");

    // A two-person entry with only a one-position light option still finds it.
    EmojiEntry::Variants onlySingle({opt("base", {}), opt("l", {L}), opt("md", {M, D})});
    EXPECT_EQ(emojiOf(onlySingle.preferredOption(L)), "l");

    EmojiEntry::Variants noUntoned({opt("m", {M}), opt("d", {D})});
    EXPECT_EQ(emojiOf(noUntoned.preferredOption(SkinTone::defaultTone)), "m");
    EXPECT_EQ(emojiOf(noUntoned.preferredOption(L)), "m");

    EXPECT_EQ(EmojiEntry::Variants().preferredOption(L), nullptr);
}

TEST(EmojiEntryVariants, ExactToneLookupFallsBackOnlyForRepeatedSingleTone) {
    EmojiEntry::Variants v({opt("m", {M}), opt("ld", {L, D}), opt("l", {L})});
    EXPECT_EQ(emojiOf(v.option(Tones{M, M})), "m");
    EXPECT_EQ(emojiOf(v.option(Tones{L, D})), "ld");
    EXPECT_EQ(v.option(Tones{D, L}), nullptr);
    EXPECT_EQ(v.option(Tones{}), nullptr);  // no untoned option
    EXPECT_EQ(v.option(Tones{D}), nullptr);
    EXPECT_EQ(EmojiEntry::Variants().option(Tones{L}), nullptr);
}

TEST(EmojiEntryVariants, CapabilitiesAndDisplayNames) {
    EmojiEntry::Variants singleOnly({opt("b", {}), opt("l", {L}), opt("dd", {D, D})});
    EXPECT_TRUE(singleOnly.supportsSkinTones());
    EXPECT_FALSE(singleOnly.supportsMixedSkinTones());
    EXPECT_FALSE(singleOnly.supportsMixedToneMatrix());

    EmojiEntry::Variants twoPositions({opt("b", {}), opt("ld", {L, D})});
    EXPECT_TRUE(twoPositions.supportsMixedToneMatrix());

    EmojiEntry::Variants threePositions({opt("b", {}), opt("lld", {L, L, D})});
    EXPECT_TRUE(threePositions.supportsMixedSkinTones());
    EXPECT_FALSE(threePositions.supportsMixedToneMatrix());

    EmojiEntry::Variants none;
    EXPECT_FALSE(none.supportsSkinTones());
    EXPECT_FALSE(EmojiEntry::Variants({opt("b", {})}).supportsSkinTones());

    EXPECT_EQ(opt("x", {}).displayName(), "Default");
    EXPECT_EQ(opt("x", {D, D}).displayName(), "Dark");
    EXPECT_EQ(opt("x", {SkinTone::mediumLight}).displayName(), "Medium Light");
    EXPECT_EQ(opt("x", {L, D}).displayName(), "Tone 1: Light, Tone 2: Dark");
    EXPECT_EQ(opt("x", {SkinTone::defaultTone, M}).displayName(), "Tone 1: Default, Tone 2: Medium");
}

TEST(EmojiEntryJson, PerToneFormDecodesInToneOrderAndEncodesAsOptions) {
    // Key order in the file does not matter; unknown keys are ignored.
    const auto parsed = json::parse(R"({"default":"A","dark":"E","light":"B","note":1})");
    const auto v = EmojiEntry::Variants::fromJson(*parsed);
    ASSERT_EQ(v.options().size(), 3u);
    EXPECT_EQ(v.options()[0], opt("A", {}));
    EXPECT_EQ(v.options()[1], opt("B", {L}));
    EXPECT_EQ(v.options()[2], opt("E", {D}));

    const auto entry = EmojiEntry::fromJson(entryJson(*parsed));
    const Json encoded = entry.toJson();
    EXPECT_EQ(encoded["variants"],
              json::parse(R"({"options":[{"emoji":"A","tones":[]},{"emoji":"B","tones":["light"]},)"
                          R"({"emoji":"E","tones":["dark"]}]})"));
    EXPECT_FALSE(encoded.contains("minimumMacOSVersion"));
    EXPECT_EQ(EmojiEntry::fromJson(encoded), entry);
}

TEST(EmojiEntryJson, OptionsFormRoundTripsAndIgnoresOtherKeys) {
    const auto variants = json::parse(R"({"options":[
        {"emoji":"LD","tones":["light","dark"],"minimumMacOSVersion":"14.4"},
        {"emoji":"A","tones":[]}], "default":"ignored"})");
    auto j = entryJson(*variants);
    j["minimumMacOSVersion"] = "13.1";
    j["unknown"] = {1, 2};
    const auto entry = EmojiEntry::fromJson(j);
    ASSERT_TRUE(entry.variants);
    EXPECT_EQ(texts(*entry.variants), (std::vector<std::string>{"A", "LD"}));
    EXPECT_EQ(entry.variants->options()[1].minimumMacOSVersion, "14.4");
    EXPECT_EQ(entry.minimumMacOSVersion, "13.1");

    const Json encoded = entry.toJson();
    EXPECT_FALSE(encoded["variants"]["options"][0].contains("minimumMacOSVersion"));
    EXPECT_FALSE(encoded.contains("unknown"));
    EXPECT_EQ(EmojiEntry::fromJson(encoded), entry);

    const auto plain = EmojiEntry::fromJson(entryJson(Json()));
    EXPECT_FALSE(plain.variants);
    EXPECT_FALSE(plain.toJson().contains("variants"));
}

TEST(EmojiEntryJson, InvalidInputFailsWithoutAPartialEntry) {
    const std::vector<std::pair<const char*, Json>> bad = {
        {"missing id",
         [] {
             auto j = entryJson(Json());
             j.erase("id");
             return j;
         }()},
        {"null name",
         [] {
             auto j = entryJson(Json());
             j["name"] = nullptr;
             return j;
         }()},
        {"keywords not strings",
         [] {
             auto j = entryJson(Json());
             j["keywords"] = {1};
             return j;
         }()},
        {"shortcodes a string",
         [] {
             auto j = entryJson(Json());
             j["shortcodes"] = "sc";
             return j;
         }()},
        {"version a number",
         [] {
             auto j = entryJson(Json());
             j["minimumMacOSVersion"] = 13;
             return j;
         }()},
        {"unknown tone", entryJson(*json::parse(R"({"options":[{"emoji":"x","tones":["purple"]}]})"))},
        {"tone not a string", entryJson(*json::parse(R"({"options":[{"emoji":"x","tones":[1]}]})"))},
        {"option without tones", entryJson(*json::parse(R"({"options":[{"emoji":"x"}]})"))},
        {"options not an array", entryJson(*json::parse(R"({"options":{"emoji":"x"}})"))},
        {"options null", entryJson(*json::parse(R"({"options":null,"default":"x"})"))},
        {"per-tone without default", entryJson(*json::parse(R"({"light":"x"})"))},
        {"per-tone text not a string", entryJson(*json::parse(R"({"default":"x","dark":5})"))},
        {"variants an array", entryJson(Json::array())},
        {"entry not an object", Json::array()},
    };
    for (const auto& [what, j] : bad) EXPECT_THROW(EmojiEntry::fromJson(j), DecodingError) << what;
}

TEST(EmojiEntryJson, EveryEntryOfTheShippedDataFileDecodes) {
    std::ifstream stream(MOSAIKO_SOURCE_DIR "/resources/emojis.json", std::ios::binary);
    if (!stream) GTEST_SKIP() << "no data file in this tree";
    std::stringstream buffer;
    buffer << stream.rdbuf();
    const auto file = json::parse(buffer.str());
    ASSERT_TRUE(file && file->contains("emojis"));
    std::size_t withMixedMatrix = 0;
    for (const auto& j : (*file)["emojis"]) {
        EmojiEntry entry;
        ASSERT_NO_THROW(entry = EmojiEntry::fromJson(j)) << j.dump();
        EXPECT_EQ(EmojiEntry::fromJson(entry.toJson()), entry);
        if (entry.variants && entry.variants->supportsMixedToneMatrix()) ++withMixedMatrix;
    }
    EXPECT_GT(withMixedMatrix, 0u);
}

}  // namespace
}  // namespace mosaiko

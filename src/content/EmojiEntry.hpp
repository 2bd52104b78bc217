#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "content/DecodingError.hpp"
#include "content/SkinTone.hpp"
#include "platform/Json.hpp"

namespace mosaiko {

// One insertable entry: an emoji of the data file, an emoticon, a glyph or a user snippet.
struct EmojiEntry {
    // The skin-tone variants of an entry. The option list is always normalized: unique by text,
    // in canonical order (untoned, single-tone, mixed; then by tones; then by text).
    class Variants {
      public:
        struct Option {
            std::string emoji;
            std::vector<SkinTone> tones;  // one per person position; empty for the untoned form
            std::optional<std::string> minimumMacOSVersion;

            // "Default", the tone's name, or "Tone 1: Light, Tone 2: Dark" for mixed options.
            std::string displayName() const;
            bool isUntoned() const { return tones.empty(); }
            // At least two positions holding different tones.
            bool isMixed() const;

            bool operator==(const Option&) const = default;
        };

        Variants() = default;
        explicit Variants(std::vector<Option> options);

        const std::vector<Option>& options() const { return options_ ? *options_ : noOptions(); }

        const Option* preferredOption(SkinTone tone) const;
        const Option* option(const std::vector<SkinTone>& tones) const;
        const Option* option(std::string_view emoji) const;  // option(forEmoji:)
        bool supportsSkinTones() const;
        bool supportsMixedSkinTones() const;
        bool supportsMixedToneMatrix() const;

        // Both JSON forms decode ("options" array, or per-tone keys); encoding always writes the
        // options form. Decoding throws DecodingError on bad input.
        static Variants fromJson(const Json& json);
        Json toJson() const;

        bool operator==(const Variants& other) const { return options() == other.options(); }

      private:
        static const std::vector<Option>& noOptions();
        static std::vector<Option> normalize(std::vector<Option> options);
        std::vector<SkinTone> preferredTones(SkinTone tone) const;

        // Shared by the copies of an entry (the database holds each entry in its list, its base list
        // and its index): the options never change once made.
        std::shared_ptr<const std::vector<Option>> options_;
    };

    std::string id;
    std::string emoji;
    std::string name;
    std::string category;
    std::vector<std::string> shortcodes;
    std::vector<std::string> keywords;
    std::optional<Variants> variants;
    std::optional<std::string> minimumMacOSVersion;

    // Throws DecodingError on a missing required key, a wrong type or an unknown tone name.
    static EmojiEntry fromJson(const Json& json);
    Json toJson() const;

    bool operator==(const EmojiEntry&) const = default;
};

}  // namespace mosaiko

#include "content/EmojiEntry.hpp"

#include <algorithm>
#include <unordered_set>

#include "content/JsonDecoding.hpp"
#include "content/SkinTone.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

using namespace json_decoding;

namespace {

using Option = EmojiEntry::Variants::Option;

bool isSingleTone(const Option& option) {
    return !option.tones.empty() && std::all_of(option.tones.begin(), option.tones.end(),
                                                [&](SkinTone t) { return t == option.tones.front(); });
}

// Untoned (0) before single-tone (1) before mixed (2).
int optionClass(const Option& option) {
    if (option.tones.empty()) return 0;
    return isSingleTone(option) ? 1 : 2;
}

std::size_t maxToneCount(const std::vector<Option>& options) {
    std::size_t n = 0;
    for (const auto& option : options) n = std::max(n, option.tones.size());
    return n;
}

SkinTone decodeTone(const Json& value) {
    if (!value.is_string()) throw DecodingError("a tone is not a string");
    auto tone = skin_tone::fromRawValue(value.get_ref<const std::string&>());
    if (!tone) throw DecodingError("unknown tone \"" + value.get<std::string>() + "\"");
    return *tone;
}

Option decodeOption(const Json& json) {
    requireObject(json, "variant option");
    Option option;
    option.emoji = requiredString(json, "emoji");
    auto tones = json.find("tones");
    if (tones == json.end() || !tones->is_array()) throw DecodingError("option without a \"tones\" array");
    for (const auto& tone : *tones) option.tones.push_back(decodeTone(tone));
    option.minimumMacOSVersion = optionalString(json, "minimumMacOSVersion");
    return option;
}

Json encodeOption(const Option& option) {
    Json tones = Json::array();
    for (auto tone : option.tones) tones.push_back(std::string(skin_tone::rawValue(tone)));
    Json json = {{"emoji", option.emoji}, {"tones", std::move(tones)}};
    if (option.minimumMacOSVersion) json["minimumMacOSVersion"] = *option.minimumMacOSVersion;
    return json;
}

}  // namespace

// ------------------------------------------------------------------------------------------ Option

bool Option::isMixed() const {
    return !tones.empty() && !isSingleTone(*this);
}

std::string Option::displayName() const {
    if (tones.empty()) return "Default";
    if (!isMixed()) return std::string(skin_tone::displayName(tones.front()));
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < tones.size(); ++i) {
        parts.push_back("Tone " + std::to_string(i + 1) + ": " +
                        std::string(skin_tone::displayName(tones[i])));
    }
    return text::join(parts, ", ");
}

// ---------------------------------------------------------------------------------------- Variants

EmojiEntry::Variants::Variants(std::vector<Option> options)
    : options_(std::make_shared<const std::vector<Option>>(normalize(std::move(options)))) {}

const std::vector<Option>& EmojiEntry::Variants::noOptions() {
    static const std::vector<Option> none;
    return none;
}

std::vector<Option> EmojiEntry::Variants::normalize(std::vector<Option> options) {
    // Each text's canonical form is made once: comparing pairs would make it again and again.
    struct Keyed {
        std::string canonical;
        Option option;
    };
    std::vector<Keyed> kept;
    kept.reserve(options.size());
    std::unordered_set<std::string> seen;
    for (auto& option : options) {
        auto canonical = text::nfc(option.emoji);
        if (seen.insert(canonical).second) kept.push_back({std::move(canonical), std::move(option)});
    }
    std::sort(kept.begin(), kept.end(), [](const Keyed& x, const Keyed& y) {
        const Option& a = x.option;
        const Option& b = y.option;
        const int ca = optionClass(a), cb = optionClass(b);
        if (ca != cb) return ca < cb;
        if (a.tones != b.tones) {
            return std::lexicographical_compare(
                a.tones.begin(), a.tones.end(), b.tones.begin(), b.tones.end(),
                [](SkinTone x, SkinTone y) { return skin_tone::ordinal(x) < skin_tone::ordinal(y); });
        }
        // UTF-8 byte order of the canonical forms is their code point order.
        return x.canonical < y.canonical;
    });
    std::vector<Option> result;
    result.reserve(kept.size());
    for (auto& k : kept) result.push_back(std::move(k.option));
    return result;
}

std::vector<SkinTone> EmojiEntry::Variants::preferredTones(SkinTone tone) const {
    if (tone == SkinTone::defaultTone) return {};
    return std::vector<SkinTone>(std::max<std::size_t>(1, maxToneCount(options())), tone);
}

const Option* EmojiEntry::Variants::preferredOption(SkinTone tone) const {
    const auto wanted = preferredTones(tone);
    auto find = [&](auto predicate) -> const Option* {
        auto it = std::find_if(options().begin(), options().end(), predicate);
        return it == options().end() ? nullptr : &*it;
    };
    if (auto exact = find([&](const Option& o) { return o.tones == wanted; })) return exact;
    if (tone != SkinTone::defaultTone) {
        auto allOfTone = find([&](const Option& o) {
            return !o.tones.empty() &&
                   std::all_of(o.tones.begin(), o.tones.end(), [&](SkinTone t) { return t == tone; });
        });
        if (allOfTone) return allOfTone;
    }
    if (auto untoned = find([](const Option& o) { return o.tones.empty(); })) return untoned;
    return options().empty() ? nullptr : &options().front();
}

const Option* EmojiEntry::Variants::option(const std::vector<SkinTone>& tones) const {
    for (const auto& o : options()) {
        if (o.tones == tones) return &o;
    }
    const bool singleDistinct = !tones.empty() && std::all_of(tones.begin(), tones.end(),
                                                              [&](SkinTone t) { return t == tones.front(); });
    if (singleDistinct) {
        const std::vector<SkinTone> one{tones.front()};
        for (const auto& o : options()) {
            if (o.tones == one) return &o;
        }
    }
    return nullptr;
}

const Option* EmojiEntry::Variants::option(std::string_view emoji) const {
    for (const auto& o : options()) {
        if (text::canonicallyEqual(o.emoji, emoji)) return &o;
    }
    return nullptr;
}

bool EmojiEntry::Variants::supportsSkinTones() const {
    return std::any_of(options().begin(), options().end(), [](const Option& o) { return !o.tones.empty(); });
}

bool EmojiEntry::Variants::supportsMixedSkinTones() const {
    return std::any_of(options().begin(), options().end(), [](const Option& o) { return o.isMixed(); });
}

bool EmojiEntry::Variants::supportsMixedToneMatrix() const {
    return supportsMixedSkinTones() && maxToneCount(options()) < 3;
}

EmojiEntry::Variants EmojiEntry::Variants::fromJson(const Json& json) {
    requireObject(json, "variants");
    std::vector<Option> options;
    if (auto it = json.find("options"); it != json.end()) {
        if (!it->is_array()) throw DecodingError("\"options\" is not an array");
        for (const auto& element : *it) options.push_back(decodeOption(element));
        return Variants(std::move(options));
    }
    // Per-tone form: the untoned text under "default", one text per tone under the tone's name.
    options.push_back(Option{requiredString(json, "default"), {}, std::nullopt});
    for (auto tone : skin_tone::allCases) {
        if (tone == SkinTone::defaultTone) continue;
        const std::string key(skin_tone::rawValue(tone));
        if (auto text = optionalString(json, key.c_str()))
            options.push_back(Option{std::move(*text), {tone}, std::nullopt});
    }
    return Variants(std::move(options));
}

Json EmojiEntry::Variants::toJson() const {
    Json encoded = Json::array();
    for (const auto& option : options()) encoded.push_back(encodeOption(option));
    return Json{{"options", std::move(encoded)}};
}

// -------------------------------------------------------------------------------------- EmojiEntry

EmojiEntry EmojiEntry::fromJson(const Json& json) {
    requireObject(json, "entry");
    EmojiEntry entry;
    entry.id = requiredString(json, "id");
    entry.emoji = requiredString(json, "emoji");
    entry.name = requiredString(json, "name");
    entry.category = requiredString(json, "category");
    entry.shortcodes = requiredStringArray(json, "shortcodes");
    entry.keywords = requiredStringArray(json, "keywords");
    if (auto it = json.find("variants"); it != json.end() && !it->is_null())
        entry.variants = Variants::fromJson(*it);
    entry.minimumMacOSVersion = optionalString(json, "minimumMacOSVersion");
    return entry;
}

Json EmojiEntry::toJson() const {
    Json json = {{"id", id},
                 {"emoji", emoji},
                 {"name", name},
                 {"category", category},
                 {"shortcodes", shortcodes},
                 {"keywords", keywords}};
    if (variants) json["variants"] = variants->toJson();
    if (minimumMacOSVersion) json["minimumMacOSVersion"] = *minimumMacOSVersion;
    return json;
}

}  // namespace mosaiko

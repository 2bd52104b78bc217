#include "content/EmojiDatabase.hpp"

#include <charconv>
#include <fstream>
#include <iterator>
#include <unordered_set>

#include "platform/Text.hpp"

namespace mosaiko {

EmojiDatabaseError EmojiDatabaseError::decodeFailed(std::string_view underlying) {
    return EmojiDatabaseError(Kind::decodeFailed, "Emoji database decode failed: " + std::string(underlying));
}

EmojiDatabaseError EmojiDatabaseError::resourceMissing() {
    return EmojiDatabaseError(Kind::resourceMissing, "Emoji database resource missing (emojis.json).");
}

EmojiDatabase::EmojiDatabase(OperatingSystemVersion currentMacOSVersion)
    : EmojiDatabase(AppBundle::main(), currentMacOSVersion) {}

EmojiDatabase::EmojiDatabase(const AppBundle& bundle, OperatingSystemVersion currentMacOSVersion)
    : currentMacOSVersion_(currentMacOSVersion) {
    try {
        load(bundle);
    } catch (const std::exception&) {
        // A missing, unreadable or undecodable data file leaves the built-in entries.
        baseEmojis_ = availableEntries(fallbackEmojis());
        rebuildCombined();
    }
}

EmojiDatabase::EmojiDatabase(std::vector<EmojiEntry> baseEmojis, std::vector<EmojiEntry> extraEmojis,
                             OperatingSystemVersion currentMacOSVersion)
    : currentMacOSVersion_(currentMacOSVersion) {
    baseEmojis_ = availableEntries(baseEmojis);
    extraEmojis_ = availableEntries(extraEmojis);
    rebuildCombined();
}

EmojiDatabase::~EmojiDatabase() = default;

void EmojiDatabase::load(const AppBundle& bundle) {
    const auto path = bundle.resourcePath("emojis", "json");
    if (!path) throw EmojiDatabaseError::resourceMissing();
    std::ifstream stream(*path, std::ios::binary);
    if (!stream) throw std::runtime_error("The emoji data file could not be opened.");
    const std::string contents{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    if (stream.bad()) throw std::runtime_error("The emoji data file could not be read.");

    std::vector<EmojiEntry> decoded;
    const auto file = json::parse(contents);
    if (!file) throw EmojiDatabaseError::decodeFailed("The data is not valid JSON.");
    if (!file->is_object() || !file->contains("emojis") || !(*file)["emojis"].is_array()) {
        throw EmojiDatabaseError::decodeFailed("The key \"emojis\" with a list of entries is missing.");
    }
    try {
        for (const auto& element : (*file)["emojis"]) decoded.push_back(EmojiEntry::fromJson(element));
    } catch (const std::exception& error) {
        throw EmojiDatabaseError::decodeFailed(error.what());
    }
    baseEmojis_ = availableEntries(decoded);
    rebuildCombined();
}

const std::vector<EmojiEntry>& EmojiDatabase::fallbackEmojis() {
    static const std::vector<EmojiEntry> entries = [] {
        using Option = EmojiEntry::Variants::Option;
        const std::string thumbsUp = "\U0001F44D";
        EmojiEntry grinning{"grinning",   "\U0001F600",       "grinning face", "Smileys & Emotion",
                            {"grinning"}, {"smile", "happy"}, std::nullopt,    std::nullopt};
        EmojiEntry thumbsup{"thumbsup",         thumbsUp,          "thumbs up",  "People & Body",
                            {"+1", "thumbsup"}, {"approve", "ok"}, std::nullopt, std::nullopt};
        thumbsup.variants = EmojiEntry::Variants({
            Option{thumbsUp, {}, std::nullopt},
            Option{thumbsUp + "\U0001F3FB", {SkinTone::light}, std::nullopt},
            Option{thumbsUp + "\U0001F3FC", {SkinTone::mediumLight}, std::nullopt},
            Option{thumbsUp + "\U0001F3FD", {SkinTone::medium}, std::nullopt},
            Option{thumbsUp + "\U0001F3FE", {SkinTone::mediumDark}, std::nullopt},
            Option{thumbsUp + "\U0001F3FF", {SkinTone::dark}, std::nullopt},
        });
        EmojiEntry heart{"heart",   "\u2764\uFE0F", "red heart",  "Smileys & Emotion",
                         {"heart"}, {"love"},       std::nullopt, std::nullopt};
        return std::vector<EmojiEntry>{grinning, thumbsup, heart};
    }();
    return entries;
}

std::optional<OperatingSystemVersion> EmojiDatabase::parseOperatingSystemVersion(std::string_view text) {
    const auto pieces = text::split(text, ".");
    if (pieces.empty() || pieces.size() > 3) return std::nullopt;
    std::int64_t parts[3] = {0, 0, 0};
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        std::string_view piece = pieces[i];
        // A decimal integer with an optional sign, as integer parsing reads it; only "-0" and the
        // like are negative-signed yet not negative.
        bool negative = false;
        if (!piece.empty() && (piece.front() == '+' || piece.front() == '-')) {
            negative = piece.front() == '-';
            piece.remove_prefix(1);
        }
        if (piece.empty() || piece.find_first_not_of("0123456789") != std::string_view::npos)
            return std::nullopt;
        std::int64_t value = 0;
        const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
        if (error != std::errc() || end != piece.data() + piece.size()) return std::nullopt;
        if (negative && value != 0) return std::nullopt;
        parts[i] = value;
    }
    return OperatingSystemVersion{parts[0], parts[1], parts[2]};
}

std::optional<EmojiEntry> EmojiDatabase::availableEntry(const EmojiEntry& entry) const {
    auto isNewerThanSystem = [&](const std::optional<std::string>& minimum) {
        if (!minimum || minimum->empty()) return false;
        const auto version = parseOperatingSystemVersion(*minimum);
        return version && currentMacOSVersion_ < *version;
    };
    if (isNewerThanSystem(entry.minimumMacOSVersion)) return std::nullopt;
    if (!entry.variants) return entry;

    std::vector<EmojiEntry::Variants::Option> remaining;
    for (const auto& option : entry.variants->options()) {
        if (!isNewerThanSystem(option.minimumMacOSVersion)) remaining.push_back(option);
    }
    auto available = entry;
    if (remaining.empty()) {
        available.variants.reset();
    } else {
        available.variants = EmojiEntry::Variants(std::move(remaining));
    }
    return available;
}

std::vector<EmojiEntry> EmojiDatabase::availableEntries(const std::vector<EmojiEntry>& entries) const {
    std::vector<EmojiEntry> available;
    available.reserve(entries.size());
    for (const auto& entry : entries) {
        if (auto kept = availableEntry(entry)) available.push_back(std::move(*kept));
    }
    return available;
}

void EmojiDatabase::setExtraEmojis(std::vector<EmojiEntry> entries) {
    extraEmojis_ = availableEntries(entries);
    rebuildCombined();
}

void EmojiDatabase::rebuildCombined() {
    std::vector<EmojiEntry> combined;
    combined.reserve(baseEmojis_.size() + extraEmojis_.size());
    std::unordered_set<std::string> seen;
    for (const auto* list : {&baseEmojis_, &extraEmojis_}) {
        for (const auto& entry : *list) {
            if (seen.insert(text::nfc(entry.id)).second) combined.push_back(entry);
        }
    }
    emojis_.set(std::move(combined));
    // After the announcement: a subscriber that searches while being notified sees the old index.
    index_ = SearchIndex(emojis_.value(), &index_);
}

std::optional<EmojiEntry> EmojiDatabase::entryForID(std::string_view id) const {
    const auto* entry = index_.entryForID(id);
    return entry ? std::optional<EmojiEntry>(*entry) : std::nullopt;
}

std::optional<EmojiEntry> EmojiDatabase::entryForEmoji(std::string_view emoji) const {
    const auto* entry = index_.entryForEmoji(emoji);
    return entry ? std::optional<EmojiEntry>(*entry) : std::nullopt;
}

std::optional<std::vector<EmojiEntry>> EmojiDatabase::categoryEntries(std::string_view query) const {
    return index_.categoryEntries(query);
}

std::vector<EmojiEntry> EmojiDatabase::search(std::string_view query, int limit,
                                              SearchSortPriority sortPriority,
                                              const std::set<std::string>& prioritizedIDs,
                                              const ExtraSearchTerms& extraSearchTermsByID) const {
    std::vector<EmojiEntry> entries;
    for (auto& match : matches(query, limit, sortPriority, prioritizedIDs, extraSearchTermsByID)) {
        entries.push_back(std::move(match.entry));
    }
    return entries;
}

std::vector<EmojiDatabase::Match> EmojiDatabase::matches(std::string_view query, int limit,
                                                         SearchSortPriority sortPriority,
                                                         const std::set<std::string>& prioritizedIDs,
                                                         const ExtraSearchTerms& extraSearchTermsByID) const {
    return index_.matches(query, limit, sortPriority, prioritizedIDs, extraSearchTermsByID);
}

}  // namespace mosaiko

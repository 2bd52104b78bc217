#include "content/EmojiDatabase.hpp"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <unordered_set>
#include <utility>

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
    : EmojiDatabase(DataFileToCome{}) {
    finishLoading(prepare(bundle, currentMacOSVersion, {}));
}

EmojiDatabase::EmojiDatabase(std::vector<EmojiEntry> baseEmojis, std::vector<EmojiEntry> extraEmojis,
                             OperatingSystemVersion currentMacOSVersion)
    : currentMacOSVersion_(currentMacOSVersion) {
    setBaseEmojis(availableEntries(std::move(baseEmojis), currentMacOSVersion_));
    setExtras(availableEntries(std::move(extraEmojis), currentMacOSVersion_));
    rebuildCombined();
}

EmojiDatabase::EmojiDatabase(DataFileToCome) : loaded_(false) {}

EmojiDatabase::~EmojiDatabase() = default;

EmojiDatabase::Loaded EmojiDatabase::prepare(const AppBundle& bundle,
                                             OperatingSystemVersion currentMacOSVersion,
                                             PendingExtras extras) {
    Loaded loaded;
    loaded.currentMacOSVersion = currentMacOSVersion;
    std::vector<EmojiEntry> base;
    try {
        base = availableEntries(readDataFile(bundle), currentMacOSVersion);
    } catch (const std::exception&) {
        // A missing, unreadable or undecodable data file leaves the built-in entries.
        base = availableEntries(fallbackEmojis(), currentMacOSVersion);
    }
    if (extras.entries) loaded.extraEmojis = availableEntries(*extras.entries, currentMacOSVersion);
    loaded.extrasGeneration = extras.generation;
    // The combined list takes the entries over rather than a copy of them, unless an id repeats.
    if (hasUniqueIDs(base)) {
        loaded.baseCount = base.size();
        loaded.emojis = combined(std::move(base), loaded.extraEmojis);
    } else {
        loaded.emojis = combined(base, loaded.extraEmojis);
        loaded.baseEmojis = std::move(base);
    }
    loaded.index = SearchIndex(loaded.emojis);
    return loaded;
}

void EmojiDatabase::finishLoading(Loaded loaded) {
    if (loaded_) return;
    loaded_ = true;
    currentMacOSVersion_ = loaded.currentMacOSVersion;
    const bool baseBeginsList = loaded.baseEmojis.empty();
    std::vector<EmojiEntry> list;
    SearchIndex index;
    if (loaded.extrasGeneration == extrasGeneration_) {
        setExtras(std::move(loaded.extraEmojis));
        pendingExtras_ = std::make_shared<std::vector<EmojiEntry>>();
        // An index made over a copy of the list would refer to entries that go away.
        if (!loaded.index.isOver(loaded.emojis)) loaded.index = SearchIndex(loaded.emojis);
        list = std::move(loaded.emojis);
        index = std::move(loaded.index);
    } else {
        // The extras changed while the index was being built: its rows of unchanged entries are kept.
        setExtras(
            availableEntries(*std::exchange(pendingExtras_, std::make_shared<std::vector<EmojiEntry>>()),
                             currentMacOSVersion_));
        const auto base = baseBeginsList ? std::span<const EmojiEntry>(loaded.emojis).first(loaded.baseCount)
                                         : std::span<const EmojiEntry>(loaded.baseEmojis);
        list = combined({base.begin(), base.end()}, extraEmojis());
        index = loaded.index.isOver(loaded.emojis) ? SearchIndex(list, &loaded.index) : SearchIndex(list);
    }
    if (baseBeginsList) {
        // No id repeats in the base list: it begins every combined list.
        std::vector<EmojiEntry>().swap(ownBaseEmojis_);
        baseIsPrefix_ = true;
        baseCount_ = loaded.baseCount;
    } else {
        setBaseEmojis(std::move(loaded.baseEmojis));
    }
    publish(std::move(list), std::move(index));
}

void EmojiDatabase::setBaseEmojis(std::vector<EmojiEntry> entries) {
    ownBaseEmojis_ = std::move(entries);
    baseIsPrefix_ = false;
    baseCount_ = 0;
}

void EmojiDatabase::setExtras(std::vector<EmojiEntry> entries) {
    ownExtraEmojis_ = std::move(entries);
    extrasAreSuffix_ = false;
    extraCount_ = 0;
}

void EmojiDatabase::settleExtraEmojis() {
    if (extrasAreSuffix_) return;
    // Equal entries in equal order: the combined list took every extra entry (no id repeats).
    const auto& list = emojis_.value();
    if (ownExtraEmojis_.size() > list.size() ||
        !std::equal(ownExtraEmojis_.begin(), ownExtraEmojis_.end(),
                    list.end() - static_cast<std::ptrdiff_t>(ownExtraEmojis_.size())))
        return;
    extraCount_ = ownExtraEmojis_.size();
    extrasAreSuffix_ = true;
    std::vector<EmojiEntry>().swap(ownExtraEmojis_);
}

void EmojiDatabase::settleBaseEmojis() {
    if (baseIsPrefix_) return;
    // Equal entries in equal order: the combined list took every base entry (no id repeats).
    const auto& list = emojis_.value();
    if (ownBaseEmojis_.size() > list.size() ||
        !std::equal(ownBaseEmojis_.begin(), ownBaseEmojis_.end(), list.begin()))
        return;
    baseCount_ = ownBaseEmojis_.size();
    baseIsPrefix_ = true;
    // Every later list is combined from this base again, so it keeps starting with it.
    std::vector<EmojiEntry>().swap(ownBaseEmojis_);
}

std::vector<EmojiEntry> EmojiDatabase::readDataFile(const AppBundle& bundle) {
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
        const auto& elements = (*file)["emojis"];
        decoded.reserve(elements.size());
        for (const auto& element : elements) decoded.push_back(EmojiEntry::fromJson(element));
    } catch (const std::exception& error) {
        throw EmojiDatabaseError::decodeFailed(error.what());
    }
    return decoded;
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
    return availableEntry(entry, currentMacOSVersion_);
}

std::vector<EmojiEntry> EmojiDatabase::availableEntries(const std::vector<EmojiEntry>& entries) const {
    return availableEntries(entries, currentMacOSVersion_);
}

std::optional<EmojiEntry> EmojiDatabase::availableEntry(EmojiEntry entry, OperatingSystemVersion system) {
    auto isNewerThanSystem = [&](const std::optional<std::string>& minimum) {
        if (!minimum || minimum->empty()) return false;
        const auto version = parseOperatingSystemVersion(*minimum);
        return version && system < *version;
    };
    if (isNewerThanSystem(entry.minimumMacOSVersion)) return std::nullopt;
    if (!entry.variants) return entry;
    const auto& options = entry.variants->options();
    // Options are kept normalized: with none removed there is nothing to do.
    if (std::none_of(options.begin(), options.end(),
                     [&](const auto& option) { return isNewerThanSystem(option.minimumMacOSVersion); }))
        return entry;

    std::vector<EmojiEntry::Variants::Option> remaining;
    for (const auto& option : entry.variants->options()) {
        if (!isNewerThanSystem(option.minimumMacOSVersion)) remaining.push_back(option);
    }
    if (remaining.empty()) {
        entry.variants.reset();
    } else {
        entry.variants = EmojiEntry::Variants(std::move(remaining));
    }
    return entry;
}

std::vector<EmojiEntry> EmojiDatabase::availableEntries(std::vector<EmojiEntry> entries,
                                                        OperatingSystemVersion system) {
    // In place: the entries are moved, not copied, so the data file's strings are made only once.
    std::size_t kept = 0;
    for (auto& entry : entries) {
        if (auto available = availableEntry(std::move(entry), system))
            entries[kept++] = std::move(*available);
    }
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(kept), entries.end());
    return entries;
}

void EmojiDatabase::setExtraEmojis(std::vector<EmojiEntry> entries) {
    if (!loaded_) {
        pendingExtras_ = std::make_shared<const std::vector<EmojiEntry>>(std::move(entries));
        ++extrasGeneration_;
        return;
    }
    setExtras(availableEntries(std::move(entries), currentMacOSVersion_));
    rebuildCombined();
}

bool EmojiDatabase::hasUniqueIDs(const std::vector<EmojiEntry>& entries) {
    std::unordered_set<std::string> seen;
    seen.reserve(entries.size());
    return std::all_of(entries.begin(), entries.end(),
                       [&](const EmojiEntry& entry) { return seen.insert(text::nfc(entry.id)).second; });
}

std::vector<EmojiEntry> EmojiDatabase::combined(std::vector<EmojiEntry> base,
                                                std::span<const EmojiEntry> extras) {
    std::unordered_set<std::string> seen;
    seen.reserve(base.size() + extras.size());
    std::size_t kept = 0;
    for (auto& entry : base) {
        if (!seen.insert(text::nfc(entry.id)).second) continue;
        if (&base[kept] != &entry) base[kept] = std::move(entry);
        ++kept;
    }
    base.erase(base.begin() + static_cast<std::ptrdiff_t>(kept), base.end());
    base.reserve(kept + extras.size());
    for (const auto& entry : extras) {
        if (seen.insert(text::nfc(entry.id)).second) base.push_back(entry);
    }
    return base;
}

void EmojiDatabase::rebuildCombined() {
    const auto base = baseEmojis();
    auto list = combined({base.begin(), base.end()}, extraEmojis());
    // Built before the announcement over the list itself, whose entries then move into emojis_
    // where they are: the old index keeps referring to the old list, still stored meanwhile.
    auto index = SearchIndex(list, &index_);
    publish(std::move(list), std::move(index));
}

void EmojiDatabase::publish(std::vector<EmojiEntry> list, SearchIndex index) {
    const auto* entries = list.data();
    emojis_.set(std::move(list));
    // After the announcement: a subscriber that searches while being notified sees the old index.
    // One that changed the extras meanwhile has stored a newer list and put its index in place.
    if (emojis_.value().data() != entries) return;
    if (index.isOver(emojis_.value())) index_ = std::move(index);
    settleBaseEmojis();
    settleExtraEmojis();
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

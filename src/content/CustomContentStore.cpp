#include "content/CustomContentStore.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <random>
#include <set>

#include "content/DecodingError.hpp"
#include "platform/Json.hpp"
#include "platform/JsonReader.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

namespace {

// How many snippets the text as the program writes it holds: each begins `{"id":`, which nothing
// inside a string can spell (a quote there is escaped).
std::size_t writtenSnippetCount(std::string_view bytes) {
    constexpr std::string_view opening = R"({"id":)";
    std::size_t count = 0;
    for (auto at = bytes.find(opening); at != std::string_view::npos; at = bytes.find(opening, at + 1))
        ++count;
    return count;
}

// The list as the program writes it, read straight from its text (10,000 snippets in a few
// milliseconds rather than tens); the general reader decides on any other text.
std::optional<std::vector<CustomSnippet>> readWrittenSnippets(std::string_view bytes) {
    JsonReader reader(bytes);
    std::vector<CustomSnippet> snippets;
    // Room for all at once: grown a piece at a time, a user's 10,000 snippets were moved again and
    // again into fresh memory.
    snippets.reserve(writtenSnippetCount(bytes));
    if (!reader.array([&] { return CustomSnippet::read(reader, snippets.emplace_back()); }) ||
        !reader.atEnd())
        return std::nullopt;
    return snippets;
}

std::optional<std::vector<CustomSnippet>> decodeSnippets(std::string_view bytes) {
    if (auto snippets = readWrittenSnippets(bytes)) return snippets;
    auto json = json::parse(bytes);
    if (!json || !json->is_array()) return std::nullopt;
    std::vector<CustomSnippet> snippets;
    snippets.reserve(json->size());
    try {
        for (const auto& element : *json) snippets.push_back(CustomSnippet::fromJson(element));
    } catch (const DecodingError&) {
        return std::nullopt;
    }
    return snippets;
}

}  // namespace

CustomContentStore::CustomContentStore(DefaultsDatabase& defaults, std::string snippetsKey)
    : defaults_(defaults), snippetsKey_(std::move(snippetsKey)) {
    if (defaults_.contains(snippetsKey_)) {
        std::optional<std::vector<CustomSnippet>> loaded;
        defaults_.readData(snippetsKey_, [&](std::string_view bytes) { loaded = decodeSnippets(bytes); });
        if (loaded) {
            snippets.set(std::move(*loaded));
        } else {
            storedValueUnreadable_ = true;
        }
    }
    snippets.setDidSet([this](const auto&) { persist(); });
}

void CustomContentStore::persist() {
    if (storedValueUnreadable_) {
        defaults_.preserveUndecodable(snippetsKey_);
        storedValueUnreadable_ = false;
    }
    Json list = Json::array();
    for (const auto& snippet : snippets()) list.push_back(snippet.toJson());
    defaults_.set(snippetsKey_, DefaultsData{json::dump(list)});
}

std::vector<std::string> CustomContentStore::normalizeTokens(const std::vector<std::string>& tokens) {
    std::vector<std::string> result;
    std::set<std::string, text::CanonicalLess> seen;
    for (const auto& token : tokens) {
        auto normalized = text::lowercased(text::trimmed(token));
        if (normalized.empty() || !seen.insert(normalized).second) continue;
        result.push_back(std::move(normalized));
    }
    return result;
}

std::vector<std::string> CustomContentStore::parseTokens(std::string_view input) {
    // Whole characters are compared, so a carriage return and line feed pair (one character) does
    // not separate, nor does a separator followed by a combining mark.
    static constexpr std::array<std::string_view, 5> separators = {",", ";", " ", "\n", "\t"};
    std::vector<std::string> pieces;
    std::string current;
    for (auto& character : text::characters(input)) {
        if (std::find(separators.begin(), separators.end(), character) != separators.end()) {
            if (!current.empty()) pieces.push_back(std::move(current));
            current.clear();
        } else {
            current += character;
        }
    }
    if (!current.empty()) pieces.push_back(std::move(current));
    return normalizeTokens(pieces);
}

std::string CustomContentStore::newSnippetID() {
    static thread_local std::mt19937_64 generator{[] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }()};
    std::array<unsigned char, 16> bytes{};
    for (std::size_t i = 0; i < bytes.size(); i += 8) {
        const auto word = generator();
        for (std::size_t j = 0; j < 8; ++j) bytes[i + j] = static_cast<unsigned char>(word >> (8 * j));
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    std::string id;
    char hex[3];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) id += '-';
        std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
        id += hex;
    }
    return id;
}

void CustomContentStore::addSnippet(std::string_view name, std::string_view insertText,
                                    const std::vector<std::string>& shortcodes,
                                    const std::vector<std::string>& keywords) {
    auto trimmedName = text::trimmed(name);
    auto trimmedText = text::trimmed(insertText);
    auto normalizedShortcodes = normalizeTokens(shortcodes);
    if (trimmedName.empty() || trimmedText.empty() || normalizedShortcodes.empty()) return;
    auto list = snippets();
    list.insert(list.begin(), CustomSnippet{newSnippetID(), std::move(trimmedName), std::move(trimmedText),
                                            std::move(normalizedShortcodes), normalizeTokens(keywords)});
    snippets.set(std::move(list));
}

void CustomContentStore::updateSnippet(const CustomSnippet& snippet) {
    auto list = snippets();
    auto it =
        std::find_if(list.begin(), list.end(), [&](const CustomSnippet& s) { return s.id == snippet.id; });
    if (it == list.end()) return;
    *it = CustomSnippet{snippet.id, text::trimmed(snippet.name), text::trimmed(snippet.insertText),
                        normalizeTokens(snippet.shortcodes), normalizeTokens(snippet.keywords)};
    snippets.set(std::move(list));
}

std::vector<EmojiEntry> CustomContentStore::allEmojiEntries() const {
    return emojiEntries(snippets());
}

std::vector<EmojiEntry> CustomContentStore::emojiEntries(const std::vector<CustomSnippet>& snippetList) {
    std::vector<EmojiEntry> entries;
    appendEmojiEntries(snippetList, entries);
    return entries;
}

void CustomContentStore::appendEmojiEntries(const std::vector<CustomSnippet>& snippetList,
                                            std::vector<EmojiEntry>& entries) {
    entries.reserve(entries.size() + snippetList.size());
    for (const auto& snippet : snippetList) {
        entries.push_back(EmojiEntry{entryIDPrefix + snippet.id, snippet.insertText, snippet.name,
                                     entryCategory, snippet.shortcodes, snippet.keywords, std::nullopt,
                                     std::nullopt});
    }
}

}  // namespace mosaiko

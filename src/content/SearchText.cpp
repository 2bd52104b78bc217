#include "content/SearchText.hpp"

#include <algorithm>
#include <functional>
#include <unordered_set>

#include "platform/Text.hpp"

namespace mosaiko::search_text {

namespace {

// A letter or a number, judged by the first scalar of the character.
bool isWordCharacter(std::string_view character) {
    const auto scalar = text::firstScalar(character);
    return text::isLetter(scalar) || text::isNumber(scalar);
}

// Most texts that are indexed are ASCII, where every byte is a character (a CR LF pair is one, but
// neither of its bytes is kept in a token, so taking them apart changes nothing) and the only
// letters and numbers are [A-Za-z0-9]: these take a path without the Unicode machinery.
bool isAsciiWordByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool isSeparatorByte(char c) {
    return c == '_' || c == '-' || c == '+';
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string normalizeAsciiToken(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool lastWasSeparator = false;
    for (const char raw : text) {
        const char c = asciiLower(raw);
        if (isAsciiWordByte(c)) {
            out += c;
            lastWasSeparator = false;
        } else if (isSeparatorByte(c) && !out.empty() && !lastWasSeparator) {
            out += c;
            lastWasSeparator = true;
        }
    }
    while (!out.empty() && isSeparatorByte(out.back())) out.pop_back();
    return out;
}

void addAsciiTokenCandidates(std::string_view text, const std::function<void(std::string)>& add) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start;
        while (end < text.size() && (isAsciiWordByte(asciiLower(text[end])) || isSeparatorByte(text[end])))
            ++end;
        if (end > start) {
            const auto normalized = normalizeAsciiToken(text.substr(start, end - start));
            if (!normalized.empty()) {
                add(normalized);
                std::size_t partStart = 0;
                for (std::size_t i = 0; i <= normalized.size(); ++i) {
                    if (i < normalized.size() && !isSeparatorByte(normalized[i])) continue;
                    if (i - partStart >= 2) add(normalized.substr(partStart, i - partStart));
                    partStart = i + 1;
                }
            }
        }
        start = end + 1;
    }
}

}  // namespace

MatchKind matchKind(std::string_view text, std::string_view term) {
    if (term.empty() || text.size() < term.size()) return MatchKind::none;
    if (text == term) return MatchKind::equal;
    if (hasCharacterPrefix(text, term)) return MatchKind::prefix;
    for (auto pos = text.find(term, 1); pos != std::string_view::npos; pos = text.find(term, pos + 1)) {
        if (text::isCharacterBoundary(text, pos) && text::isCharacterBoundary(text, pos + term.size())) {
            return MatchKind::contains;
        }
    }
    return MatchKind::none;
}

bool hasCharacterPrefix(std::string_view text, std::string_view prefix) {
    return text.starts_with(prefix) && text::isCharacterBoundary(text, prefix.size());
}

bool hasCharacterSuffix(std::string_view text, std::string_view suffix) {
    return text.ends_with(suffix) && text::isCharacterBoundary(text, text.size() - suffix.size());
}

std::int64_t shortcodeScore(MatchKind kind, std::int64_t excess) {
    switch (kind) {
        case MatchKind::equal:
            return 10000;
        case MatchKind::prefix:
            return 9500 - std::min<std::int64_t>(10 * excess, 2500);
        case MatchKind::contains:
            return 7500 - std::min<std::int64_t>(5 * excess, 2500);
        case MatchKind::none:
            break;
    }
    return -1;
}

std::int64_t keywordScore(MatchKind kind, std::int64_t excess) {
    switch (kind) {
        case MatchKind::equal:
            return 9200;
        case MatchKind::prefix:
            return 5200 - std::min<std::int64_t>(10 * excess, 2000);
        case MatchKind::contains:
            return 3200 - std::min<std::int64_t>(5 * excess, 2000);
        case MatchKind::none:
            break;
    }
    return -1;
}

bool isTokenSeparator(std::string_view character) {
    return character == "_" || character == "-" || character == "+";
}

bool isWhitespaceCharacter(std::string_view character) {
    return text::isWhitespace(text::firstScalar(character));
}

std::string normalizeSearchToken(std::string_view text) {
    if (text::isAscii(text)) return normalizeAsciiToken(text);
    std::string out;
    bool lastWasSeparator = false;
    for (const auto& character : text::characters(text::lowercased(text))) {
        if (isWordCharacter(character)) {
            out += character;
            lastWasSeparator = false;
        } else if (isTokenSeparator(character) && !out.empty() && !lastWasSeparator) {
            out += character;
            lastWasSeparator = true;
        }
    }
    // Separators are whole characters of one byte each, and never lead.
    while (!out.empty() && isTokenSeparator(std::string_view(&out.back(), 1))) out.pop_back();
    return text::nfc(out);
}

std::vector<std::string> normalizedTokenCandidates(std::string_view text) {
    std::vector<std::string> candidates;
    std::unordered_set<std::string> seen;
    auto add = [&](std::string candidate) {
        if (seen.insert(candidate).second) candidates.push_back(std::move(candidate));
    };
    if (text::isAscii(text)) {
        addAsciiTokenCandidates(text, add);
        return candidates;
    }

    std::vector<std::string> pieces(1);
    for (const auto& character : text::characters(text::lowercased(text))) {
        if (isWordCharacter(character) || isTokenSeparator(character)) {
            pieces.back() += character;
        } else if (!pieces.back().empty()) {
            pieces.emplace_back();
        }
    }
    for (const auto& piece : pieces) {
        if (piece.empty()) continue;
        auto normalized = normalizeSearchToken(piece);
        if (normalized.empty()) continue;
        add(normalized);
        std::string part;
        for (const auto& character : text::characters(normalized)) {
            if (!isTokenSeparator(character)) {
                part += character;
                continue;
            }
            if (text::characterCount(part) >= 2) add(part);
            part.clear();
        }
        if (text::characterCount(part) >= 2) add(part);
    }
    return candidates;
}

}  // namespace mosaiko::search_text

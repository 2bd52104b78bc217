#include "content/OptionEnums.hpp"

namespace mosaiko {

namespace {

template <class Enum, std::size_t N>
std::optional<Enum> caseNamed(std::string_view raw, const std::array<Enum, N>& cases,
                              std::string_view (*name)(Enum)) {
    for (auto value : cases) {
        if (name(value) == raw) return value;
    }
    return std::nullopt;
}

}  // namespace

namespace quick_open_shortcut {

std::string_view rawValue(QuickOpenShortcut value) {
    switch (value) {
        case QuickOpenShortcut::disabled:
            return "disabled";
        case QuickOpenShortcut::doubleSemicolon:
            return "doubleSemicolon";
        case QuickOpenShortcut::doubleColon:
            return "doubleColon";
        case QuickOpenShortcut::doubleSlash:
            return "doubleSlash";
        case QuickOpenShortcut::doubleComma:
            return "doubleComma";
    }
    return "disabled";
}

std::optional<QuickOpenShortcut> fromRawValue(std::string_view raw) {
    return caseNamed(raw, allCases, &rawValue);
}

std::optional<std::string_view> sequence(QuickOpenShortcut value) {
    switch (value) {
        case QuickOpenShortcut::disabled:
            return std::nullopt;
        case QuickOpenShortcut::doubleSemicolon:
            return ";;";
        case QuickOpenShortcut::doubleColon:
            return "::";
        case QuickOpenShortcut::doubleSlash:
            return "//";
        case QuickOpenShortcut::doubleComma:
            return ",,";
    }
    return std::nullopt;
}

}  // namespace quick_open_shortcut

namespace quick_open_target {

std::string_view rawValue(QuickOpenTarget value) {
    switch (value) {
        case QuickOpenTarget::all:
            return "all";
        case QuickOpenTarget::pins:
            return "pins";
        case QuickOpenTarget::shortcodes:
            return "shortcodes";
        case QuickOpenTarget::emoticons:
            return "emoticons";
    }
    return "all";
}

std::optional<QuickOpenTarget> fromRawValue(std::string_view raw) {
    return caseNamed(raw, allCases, &rawValue);
}

}  // namespace quick_open_target

namespace search_sort_priority {

std::string_view rawValue(SearchSortPriority value) {
    switch (value) {
        case SearchSortPriority::emojiFirst:
            return "emojiFirst";
        case SearchSortPriority::emoticonsFirst:
            return "emoticonsFirst";
    }
    return "emojiFirst";
}

std::optional<SearchSortPriority> fromRawValue(std::string_view raw) {
    return caseNamed(raw, allCases, &rawValue);
}

}  // namespace search_sort_priority

}  // namespace mosaiko

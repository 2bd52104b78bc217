#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace mosaiko {

// The instant-open sequence.
enum class QuickOpenShortcut { disabled, doubleSemicolon, doubleColon, doubleSlash, doubleComma };
// The scope the picker starts in when opened by the instant-open sequence.
enum class QuickOpenTarget { all, pins, shortcodes, emoticons };
// Which kind of entry search puts first among otherwise equal results.
enum class SearchSortPriority { emojiFirst, emoticonsFirst };

namespace quick_open_shortcut {
inline constexpr std::array<QuickOpenShortcut, 5> allCases = {
    QuickOpenShortcut::disabled, QuickOpenShortcut::doubleSemicolon, QuickOpenShortcut::doubleColon,
    QuickOpenShortcut::doubleSlash, QuickOpenShortcut::doubleComma};
// Every case but "disabled", in declaration order.
inline constexpr std::array<QuickOpenShortcut, 4> enabledCases = {
    QuickOpenShortcut::doubleSemicolon, QuickOpenShortcut::doubleColon, QuickOpenShortcut::doubleSlash,
    QuickOpenShortcut::doubleComma};
std::string_view rawValue(QuickOpenShortcut value);
std::optional<QuickOpenShortcut> fromRawValue(std::string_view raw);
// ";;", "::", "//", ",,"; none for disabled.
std::optional<std::string_view> sequence(QuickOpenShortcut value);
}  // namespace quick_open_shortcut

namespace quick_open_target {
inline constexpr std::array<QuickOpenTarget, 4> allCases = {
    QuickOpenTarget::all, QuickOpenTarget::pins, QuickOpenTarget::shortcodes, QuickOpenTarget::emoticons};
std::string_view rawValue(QuickOpenTarget value);
std::optional<QuickOpenTarget> fromRawValue(std::string_view raw);
}  // namespace quick_open_target

namespace search_sort_priority {
inline constexpr std::array<SearchSortPriority, 2> allCases = {SearchSortPriority::emojiFirst,
                                                               SearchSortPriority::emoticonsFirst};
std::string_view rawValue(SearchSortPriority value);
std::optional<SearchSortPriority> fromRawValue(std::string_view raw);
}  // namespace search_sort_priority

}  // namespace mosaiko

#include "settings/OpenModeRules.hpp"

#include <algorithm>

#include "platform/Text.hpp"

namespace mosaiko {

std::string OpenModeRules::cleaned(std::string_view text, std::size_t limit) {
    return text::prefixScalars(text::removingControlCharacters(text), limit);
}

std::optional<std::string> OpenModeRules::pendingTrigger(std::string_view draft) {
    auto value = cleaned(draft, triggerScalarLimit);
    if (value.empty()) return std::nullopt;
    return value;
}

std::optional<std::string> OpenModeRules::pendingBlocklistEntry(std::string_view draft) {
    auto value = cleaned(draft, blocklistEntryScalarLimit);
    if (value.empty()) return std::nullopt;
    return value;
}

bool OpenModeRules::canAddBlocklistEntry(const std::vector<std::string>& existingEntries,
                                         const std::optional<std::string>& candidate) {
    if (!candidate) return false;
    return std::none_of(existingEntries.begin(), existingEntries.end(), [&](const std::string& entry) {
        return text::caseInsensitiveEqual(entry, *candidate);
    });
}

std::vector<std::string> OpenModeRules::blocklistEntriesAfterAdding(
    std::vector<std::string> existingEntries, const std::optional<std::string>& candidate) {
    if (canAddBlocklistEntry(existingEntries, candidate)) existingEntries.push_back(*candidate);
    return existingEntries;
}

std::vector<std::string> OpenModeRules::blocklistEntriesAfterRemoving(
    std::vector<std::string> existingEntries, std::string_view entry) {
    std::erase_if(existingEntries, [&](const std::string& e) { return text::canonicallyEqual(e, entry); });
    return existingEntries;
}

std::string OpenModeRules::visibleSearchTrigger(std::string_view trigger) {
    if (trigger.empty()) return "Empty";
    std::string out;
    for (const std::string& character : text::characters(trigger)) {
        if (character == " ") {
            out += "\u2420";
        } else if (character == "\t") {
            out += "\u21E5";
        } else if (character == "\n" || character == "\r") {
            out += "\u23CE";
        } else {
            out += character;  // a CR LF pair is one character and stays as it is
        }
    }
    return out;
}

namespace {

std::string backticked(std::string_view text) {
    return "`" + std::string(text) + "`";
}

}  // namespace

std::string OpenModeRules::quickOpenShortcutCollisionNotice(
    std::string_view requestedSequence, const std::optional<std::string>& resolvedSequence) {
    return "Instant open moved to " + backticked(resolvedSequence.value_or("Off")) + " because " +
           backticked(requestedSequence) + " is already used for inline search.";
}

std::string OpenModeRules::inlineTriggerCollisionNotice(
    std::string_view inlineTrigger, const std::optional<std::string>& resolvedQuickOpenSequence) {
    return "Instant open moved to " + backticked(resolvedQuickOpenSequence.value_or("Off")) + " because " +
           backticked(inlineTrigger) + " is now used for inline search.";
}

std::optional<std::string> OpenModeRules::sequence(QuickOpenShortcut shortcut) {
    const auto value = quick_open_shortcut::sequence(shortcut);
    if (!value) return std::nullopt;
    return std::string(*value);
}

std::string OpenModeRules::quickOpenShortcutTitle(QuickOpenShortcut shortcut) {
    switch (shortcut) {
        case QuickOpenShortcut::disabled:
            return "Disabled";
        case QuickOpenShortcut::doubleSemicolon:
            return ";; (double semicolon)";
        case QuickOpenShortcut::doubleColon:
            return ":: (double colon)";
        case QuickOpenShortcut::doubleSlash:
            return "// (double slash)";
        case QuickOpenShortcut::doubleComma:
            return ",, (double comma)";
    }
    return {};
}

std::string OpenModeRules::quickOpenTargetTitle(QuickOpenTarget target) {
    switch (target) {
        case QuickOpenTarget::all:
            return "All";
        case QuickOpenTarget::pins:
            return "Pins";
        case QuickOpenTarget::shortcodes:
            return "Shortcodes";
        case QuickOpenTarget::emoticons:
            return "Emoticons";
    }
    return {};
}

std::string OpenModeRules::searchSortPriorityTitle(SearchSortPriority priority) {
    return priority == SearchSortPriority::emojiFirst ? "Emoji first" : "Emoticons first";
}

}  // namespace mosaiko

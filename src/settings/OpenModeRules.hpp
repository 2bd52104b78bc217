#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "content/OptionEnums.hpp"

namespace mosaiko {

// The rules behind the open-mode editors of the settings window: how the trigger and blocklist
// drafts are cleaned, what counts as a duplicate entry, how a sequence is shown, and the sentences
// that explain a moved instant-open sequence. Pure functions.
class OpenModeRules {
  public:
    static constexpr std::size_t triggerScalarLimit = 6;
    static constexpr std::size_t blocklistEntryScalarLimit = 32;

    // Control characters (Cc, Cf) dropped, then the first `limit` scalars kept.
    static std::string cleaned(std::string_view text, std::size_t limit);
    // The cleaned trigger or entry; none when nothing usable remains.
    static std::optional<std::string> pendingTrigger(std::string_view draft);
    static std::optional<std::string> pendingBlocklistEntry(std::string_view draft);

    // A candidate is added only when present and no entry equals it ignoring case.
    static bool canAddBlocklistEntry(const std::vector<std::string>& existingEntries,
                                     const std::optional<std::string>& candidate);
    static std::vector<std::string> blocklistEntriesAfterAdding(std::vector<std::string> existingEntries,
                                                                const std::optional<std::string>& candidate);
    // Every entry equal to `entry` (canonically, with case) removed; the rest keep their order.
    static std::vector<std::string> blocklistEntriesAfterRemoving(std::vector<std::string> existingEntries,
                                                                  std::string_view entry);

    // Space, tab and line breaks drawn as visible symbols; "Empty" for nothing.
    static std::string visibleSearchTrigger(std::string_view trigger);

    // The sentence shown when the instant-open sequence had to move off the inline trigger; a
    // missing resolved sequence reads "Off".
    static std::string quickOpenShortcutCollisionNotice(std::string_view requestedSequence,
                                                        const std::optional<std::string>& resolvedSequence);
    static std::string inlineTriggerCollisionNotice(
        std::string_view inlineTrigger, const std::optional<std::string>& resolvedQuickOpenSequence);

    // The two characters of an instant-open sequence; none when it is off.
    static std::optional<std::string> sequence(QuickOpenShortcut shortcut);
    static std::string quickOpenShortcutTitle(QuickOpenShortcut shortcut);
    static std::string quickOpenTargetTitle(QuickOpenTarget target);
    static std::string searchSortPriorityTitle(SearchSortPriority priority);
};

}  // namespace mosaiko

#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "content/CustomSnippet.hpp"

namespace mosaiko {

class CustomContentStore;

// The rules behind snippet management: when a typed snippet may be added, adding and deleting
// against the store, and what a row and the list show.
struct SnippetsManageRules {
    // What the add form holds.
    struct Form {
        std::string name;
        std::string shortcodes;
        std::string insertText;
        std::string keywords;
    };

    static constexpr double standaloneListHeight = 220;
    static constexpr double standaloneWidth = 720;
    static constexpr double standaloneHeight = 620;

    // A non-blank name, a non-blank text and at least one shortcode; keywords do not count.
    static bool canAddSnippet(std::string_view name, std::string_view shortcodesText,
                              std::string_view insertText);
    // Adds the form's snippet (shortcodes and keywords parsed as typed) at the front of the store's
    // list; the store ignores one that breaks the rule above.
    static void addSnippet(CustomContentStore& custom, const Form& form);
    // Removes every snippet with this id and writes the list (also when none matched); nothing for
    // no id. Always answers no id: nothing awaits deletion any more.
    static std::optional<std::string> deleteSnippet(const std::optional<std::string>& id,
                                                    CustomContentStore& custom);

    // ":" + the first shortcode (none: nothing) + ":".
    static std::string shortcodeLine(const CustomSnippet& snippet);
    // The standalone screen's subtitle, which names the current inline trigger.
    static std::string standaloneSubtitle(std::string_view inlineTrigger);
    // The embedded list's height for the height available to the screen: never below 300.
    static double embeddedListHeight(double availableHeight);
};

}  // namespace mosaiko

#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "content/CustomSnippet.hpp"
#include "content/EmojiEntry.hpp"
#include "platform/DefaultsDatabase.hpp"
#include "platform/Published.hpp"

namespace mosaiko {

// The user's text snippets, written through as a JSON array on every assignment of `snippets`
// (also a direct one: removing a snippet is assigning the list without it). Nothing is written at
// creation, so a missing or unreadable stored list stays untouched until the first change; an
// unreadable one is then kept aside before it is replaced.
class CustomContentStore {
  public:
    static constexpr const char* defaultSnippetsKey = "customSnippetsV1";
    static constexpr const char* entryIDPrefix = "snippet-";
    static constexpr const char* entryCategory = "Snippets";

    // What a store finds in `defaults` as it is made, read on any thread, ahead of it: the program
    // reads a user's 10,000 snippets beside its other stores.
    struct Stored {
        bool present = false;                                // something is stored under the key
        std::optional<std::vector<CustomSnippet>> snippets;  // none when that cannot be read
    };
    static Stored read(const DefaultsDatabase& defaults, const std::string& snippetsKey = defaultSnippetsKey);

    explicit CustomContentStore(DefaultsDatabase& defaults, std::string snippetsKey = defaultSnippetsKey);
    // Over what read() found under the same key, with nothing changed there since.
    CustomContentStore(DefaultsDatabase& defaults, Stored stored,
                       std::string snippetsKey = defaultSnippetsKey);
    CustomContentStore(const CustomContentStore&) = delete;
    CustomContentStore& operator=(const CustomContentStore&) = delete;

    // In display order; a newly added snippet comes first. A list assigned whole is stored as is.
    Published<std::vector<CustomSnippet>> snippets;

    // Adds a snippet at the front when the trimmed name and text are not empty and at least one
    // shortcode remains after normalization; otherwise does nothing.
    void addSnippet(std::string_view name, std::string_view insertText,
                    const std::vector<std::string>& shortcodes, const std::vector<std::string>& keywords);
    // Replaces the snippet with the same id (trimmed and normalized, in place); unknown ids are ignored.
    void updateSnippet(const CustomSnippet& snippet);
    // Splits a typed field at "," ";" " " line feed and tab, then normalizes the tokens.
    static std::vector<std::string> parseTokens(std::string_view text);
    // The snippets as entries ("snippet-" + id, category "Snippets"), in list order.
    std::vector<EmojiEntry> allEmojiEntries() const;
    // The same for any list of snippets (a subscriber's, delivered before the store holds it).
    static std::vector<EmojiEntry> emojiEntries(const std::vector<CustomSnippet>& snippetList);
    // The same, added to the end of `entries`.
    static void appendEmojiEntries(const std::vector<CustomSnippet>& snippetList,
                                   std::vector<EmojiEntry>& entries);

    const std::string& snippetsKey() const { return snippetsKey_; }

  private:
    // Trimmed, lowercased, non-empty, each token once (canonically equivalent tokens are one token).
    static std::vector<std::string> normalizeTokens(const std::vector<std::string>& tokens);
    static std::string newSnippetID();
    void persist();

    DefaultsDatabase& defaults_;
    std::string snippetsKey_;
    bool storedValueUnreadable_ = false;
};

}  // namespace mosaiko

#pragma once
// A long-standing user's snippets: `count` of them, named after everyday words, each with a
// shortcode of its own, for benchmarks of the picker with thousands of pins.
#include <string>
#include <vector>

#include "content/CollectionsStore.hpp"
#include "content/CustomContentStore.hpp"
#include "content/CustomSnippet.hpp"

namespace mosaiko::bench {

inline std::vector<CustomSnippet> manySnippets(int count) {
    static const char* const words[] = {"reply", "address", "smile", "thanks", "meeting", "invoice",
                                        "hello", "sorry",   "later", "phone",  "review",  "status"};
    std::vector<CustomSnippet> snippets;
    for (int i = 0; i < count; ++i) {
        const std::string word = words[i % 12];
        const std::string n = std::to_string(i);
        snippets.push_back(
            {"bench-" + n, word + " " + n, "The " + word + " text number " + n + ".", {word + n}, {}});
    }
    return snippets;
}

// Pins every snippet's entry, in the snippets' order.
inline void pinAll(CollectionsStore& collections, const std::vector<CustomSnippet>& snippets) {
    std::vector<std::string> ids = collections.pinnedIDs();
    for (const auto& snippet : snippets) ids.push_back(CustomContentStore::entryIDPrefix + snippet.id);
    collections.pinnedIDs.set(std::move(ids));
}

}  // namespace mosaiko::bench

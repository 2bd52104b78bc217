#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/CollectionsStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmojiUsageStore.hpp"
#include "content/PreferencesStore.hpp"
#include "library/LibraryViewModel.hpp"
#include "platform/MemoryDefaults.hpp"
#include "platform/fake/ManualMainLoop.hpp"
#include "support/MemoryStores.hpp"
#include "support/TestEntries.hpp"

namespace mosaiko {

inline void PrintTo(const LibraryViewModel::BrowseSection& section, std::ostream* out) {
    *out << section.id();
}

}  // namespace mosaiko

namespace mosaiko::testing {

inline EmojiEntry thumbsUpEntry() {
    EmojiEntry e = entry("thumbsup", "👍", "thumbs up", "People & Body", {"+1", "thumbsup"});
    e.variants = thumbsUpVariants();
    return e;
}

// A library over real stores in memory, a small entry list and a loop the test runs.
class LibraryHarness : public ::testing::Test, protected MemoryStores {
  protected:
    static std::vector<EmojiEntry> baseEntries() {
        return {entry("grinning", "😀", "grinning face", "Smileys & Emotion", {"grinning"}),
                entry("smile", "😄", "smiling face", " Smileys & Emotion ", {"smile"}),
                entry("cat", "🐱", "cat face", "smileys & emotion", {"cat"}), thumbsUpEntry(),
                entry("wave", "👋", "waving hand", "People & Body", {"wave"})};
    }
    static std::vector<EmojiEntry> extraEntries() {
        return {entry("glyph-arrow-right", "→", "rightwards arrow", "Glyphs", {"arrow"}),
                entry("emoticon-smile", ":-)", "smile", "Emoticons", {"smiley"}),
                entry("snippet-s1", "Best regards", "Sign-off", "Snippets", {"bye"})};
    }

    explicit LibraryHarness(std::vector<EmojiEntry> base = baseEntries(),
                            std::vector<EmojiEntry> extra = extraEntries())
        : db(std::move(base), std::move(extra), OperatingSystemVersion{99, 0, 0}),
          model(db, prefs, usage, collections, loop) {
        model.onInsertRequested = [this](const std::string& text, bool keepOpen) {
            inserted.push_back(text);
            keptOpen = keepOpen;
        };
        model.onCopyRequested = [this](const std::string& text) { copied.push_back(text); };
    }

    std::vector<std::string> visibleIDs() const {
        std::vector<std::string> ids;
        for (const auto& e : model.visibleEntries()) ids.push_back(e.id);
        return ids;
    }
    std::string selected() const { return model.selectedEntryID().value_or("<none>"); }
    void settle() { loop.runPending(); }

    EmojiDatabase db;
    LibraryViewModel model;
    std::vector<std::string> inserted;
    std::vector<std::string> copied;
    bool keptOpen = false;
};

}  // namespace mosaiko::testing

#include <gtest/gtest.h>

#include <future>
#include <regex>

#include "content/CustomContentStore.hpp"
#include "content/RecordingDefaults.hpp"

namespace mosaiko {
namespace {

using testing::RecordingDefaults;
using Tokens = std::vector<std::string>;
constexpr const char* kKey = "customSnippetsV1";

TEST(CustomContentStoreTokens, ParsingSplitsAtTheFiveSeparatorsAndNormalizes) {
    const auto parse = &CustomContentStore::parseTokens;
    EXPECT_EQ(parse("Smile, smile SMILE"), (Tokens{"smile"}));
    EXPECT_EQ(parse(""), Tokens{});
    EXPECT_EQ(parse(" ,;\n\t,, "), Tokens{});
    EXPECT_EQ(parse(":tada:;party\tfun\nok"), (Tokens{":tada:", "party", "fun", "ok"}));
    // A carriage return and line feed are one character, which is no separator; trimming at the
    // ends still removes it.
    EXPECT_EQ(parse("one\r\ntwo"), (Tokens{"one\r\ntwo"}));
    EXPECT_EQ(parse("one\r\n"), (Tokens{"one"}));
    // Other white space does not separate (a no-break space stays inside), but is trimmed.
    EXPECT_EQ(parse("a\xC2\xA0"
                    "b \xC2\xA0"
                    "c\xC2\xA0"),
              (Tokens{"a\xC2\xA0"
                      "b",
                      "c"}));
    // Full lowercasing, and canonically equivalent tokens are one token.
    EXPECT_EQ(parse("\xC3\x89T\xC3\x89 e\xCC\x81t\xC3\xA9"), (Tokens{"\xC3\xA9t\xC3\xA9"}));
    // A separator followed by a combining mark is another character.
    EXPECT_EQ(parse("a,\xCC\x81"
                    "b"),
              (Tokens{"a,\xCC\x81"
                      "b"}));
}

TEST(CustomContentStore, AddingValidatesNormalizesAndPutsTheNewSnippetFirst) {
    RecordingDefaults defaults;
    CustomContentStore store(defaults);
    EXPECT_FALSE(defaults.contains(kKey));  // nothing is written at creation

    store.addSnippet("  Shrug \n", " ¯\\_(ツ)_/¯ ", {" Shrug", "shrug", ""}, {});
    store.addSnippet("Shrug", "¯\\_(ツ)_/¯", {"shrug"}, {"Meh", " meh "});
    ASSERT_EQ(store.snippets().size(), 2u);
    const auto& newest = store.snippets()[0];
    const auto& oldest = store.snippets()[1];
    EXPECT_EQ(newest.keywords, (Tokens{"meh"}));
    EXPECT_EQ(oldest.name, "Shrug");
    EXPECT_EQ(oldest.insertText, "¯\\_(ツ)_/¯");
    EXPECT_EQ(oldest.shortcodes, (Tokens{"shrug"}));
    EXPECT_NE(newest.id, oldest.id);
    const std::regex uuid("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    EXPECT_TRUE(std::regex_match(newest.id, uuid)) << newest.id;

    const auto stored = defaults.json(kKey);
    ASSERT_TRUE(stored.is_array());
    EXPECT_EQ(CustomSnippet::fromJson(stored[0]), newest);
    EXPECT_EQ(CustomSnippet::fromJson(stored[1]), oldest);

    defaults.log.clear();
    store.addSnippet("Name", "Text", {" ", "\t"}, {"kw"});
    store.addSnippet("  ", "Text", {"sc"}, {});
    store.addSnippet("Name", "\n", {"sc"}, {});
    EXPECT_EQ(store.snippets().size(), 2u);
    EXPECT_TRUE(defaults.log.empty());

    CustomContentStore reloaded(defaults);
    EXPECT_EQ(reloaded.snippets(), store.snippets());
}

TEST(CustomContentStore, UpdatingReplacesInPlaceWithoutValidatingAndUnknownIdsChangeNothing) {
    RecordingDefaults defaults;
    CustomContentStore store(defaults);
    store.snippets.set({{"1", "One", "1", {"one"}, {}}, {"2", "Two", "2", {"two"}, {}}});
    EXPECT_EQ(defaults.json(kKey).size(), 2u);  // a direct assignment is written as it is

    store.updateSnippet({"1", " Uno ", "", {"UNO", "uno"}, {" K "}});
    EXPECT_EQ(store.snippets()[0], (CustomSnippet{"1", "Uno", "", {"uno"}, {"k"}}));
    EXPECT_EQ(store.snippets()[1].id, "2");

    defaults.log.clear();
    store.updateSnippet({"3", "Three", "3", {"three"}, {}});
    EXPECT_TRUE(defaults.log.empty());

    const auto entries = store.allEmojiEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1],
              (EmojiEntry{"snippet-2", "2", "Two", "Snippets", {"two"}, {}, std::nullopt, std::nullopt}));
}

TEST(CustomContentStore, AnUnreadableListStartsEmptyAndIsKeptAsideAtTheFirstChange) {
    for (const char* bytes :
         {"[{\"id\":\"1\",\"name\":\"n\",\"insertText\":\"t\",\"shortcodes\":[]}]", "{}", "nope"}) {
        RecordingDefaults defaults;
        defaults.set(kKey, DefaultsData{bytes});
        CustomContentStore store(defaults);
        EXPECT_TRUE(store.snippets().empty());
        EXPECT_FALSE(defaults.contains(std::string(kKey) + ".corrupt"));  // untouched until a change

        store.addSnippet("Name", "Text", {"sc"}, {});
        EXPECT_EQ(defaults.data(std::string(kKey) + ".corrupt"), bytes);
        EXPECT_EQ(defaults.json(kKey).size(), 1u);
        store.addSnippet("Other", "Text", {"sc"}, {});
        EXPECT_EQ(defaults.data(std::string(kKey) + ".corrupt"), bytes);
        EXPECT_FALSE(defaults.contains(std::string(kKey) + ".corrupt.2"));
    }
}

// A store over what another thread read ahead starts as one that reads for itself: with the list,
// with nothing, or with an unreadable list that is kept aside at the first change.
TEST(CustomContentStore, AStoreOverWhatWasReadAheadStartsAsOneThatReads) {
    for (const char* stored : {"list", "nothing", "unreadable"}) {
        RecordingDefaults defaults;
        if (stored == std::string("list"))
            CustomContentStore(defaults).snippets.set({{"1", "One", "1", {"one"}, {}}});
        if (stored == std::string("unreadable")) defaults.set(kKey, DefaultsData{"nope"});
        auto read = std::async(std::launch::async, [&] { return CustomContentStore::read(defaults); });
        CustomContentStore ahead(defaults, read.get());
        EXPECT_EQ(ahead.snippets(), CustomContentStore(defaults).snippets()) << stored;
        EXPECT_EQ(ahead.snippets().size(), stored == std::string("list") ? 1u : 0u) << stored;
        ahead.addSnippet("Name", "Text", {"sc"}, {});
        EXPECT_EQ(defaults.contains(std::string(kKey) + ".corrupt"), stored == std::string("unreadable"))
            << stored;
    }
}

TEST(CustomContentStore, TextThatIsNotValidUtf8IsStoredWithoutFailing) {
    RecordingDefaults defaults;
    CustomContentStore store(defaults);
    store.snippets.set({{"1", "bad \xFF name", "\xC3", {"x\xFE"}, {}}});
    const auto stored = defaults.json(kKey);
    ASSERT_TRUE(stored.is_array());
    EXPECT_EQ(stored[0]["insertText"], "\xEF\xBF\xBD");
    CustomContentStore reloaded(defaults);
    EXPECT_EQ(reloaded.snippets().size(), 1u);
}

}  // namespace
}  // namespace mosaiko

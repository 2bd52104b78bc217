#include <gtest/gtest.h>

#include "content/CustomSnippet.hpp"
#include "content/EmojiCollection.hpp"
#include "content/ExcludedApp.hpp"
#include "content/KeyboardShortcut.hpp"
#include "content/OptionEnums.hpp"
#include "content/SkinTone.hpp"

namespace mosaiko {
namespace {

Json parsed(const char* text) {
    return *json::parse(text);
}

KeyEvent keyDown(std::uint16_t code, std::uint64_t flags, std::string ignoringModifiers,
                 std::string characters = "") {
    KeyEvent e;
    e.keyCode = code;
    e.modifierFlags = flags;
    e.charactersIgnoringModifiers = std::move(ignoringModifiers);
    e.characters = std::move(characters);
    return e;
}

TEST(UserRecordsJson, OptionalFieldsDecodeAsEmptyAndEncodeAsDocumented) {
    const auto collection = EmojiCollection::fromJson(parsed(R"({"id":"c","name":"N","itemIDs":["a","b"]})"));
    EXPECT_TRUE(collection.itemAliasesByID.empty());
    EXPECT_EQ(collection.toJson()["itemAliasesByID"], Json::object());
    EmojiCollection withAliases{"c", "N", {"a"}, {{"a", "alias"}}};
    EXPECT_EQ(EmojiCollection::fromJson(withAliases.toJson()), withAliases);

    const auto app = ExcludedApp::fromJson(parsed(R"({"name":"Terminal"})"));
    EXPECT_FALSE(app.bundleIdentifier);
    EXPECT_EQ(app.identity(), "Terminal");
    EXPECT_FALSE(app.toJson().contains("bundleIdentifier"));
    const ExcludedApp prefixed{"Editors", "org.example.*"};
    EXPECT_EQ(prefixed.identity(), "org.example.*");
    EXPECT_EQ(ExcludedApp::fromJson(prefixed.toJson()), prefixed);

    const CustomSnippet snippet{"id", "Shrug", "¯\\_(ツ)_/¯", {"shrug"}, {}};
    EXPECT_EQ(CustomSnippet::fromJson(snippet.toJson()), snippet);
}

TEST(UserRecordsJson, MissingOrMistypedFieldsFail) {
    EXPECT_THROW(EmojiCollection::fromJson(parsed(R"({"name":"N","itemIDs":[]})")), DecodingError);
    EXPECT_THROW(
        EmojiCollection::fromJson(parsed(R"({"id":"c","name":"N","itemIDs":[],"itemAliasesByID":{"a":1}})")),
        DecodingError);
    EXPECT_THROW(ExcludedApp::fromJson(parsed(R"({"bundleIdentifier":"x"})")), DecodingError);
    EXPECT_THROW(ExcludedApp::fromJson(parsed(R"({"name":"x","bundleIdentifier":3})")), DecodingError);
    EXPECT_THROW(CustomSnippet::fromJson(parsed(R"({"id":"i","name":"n","insertText":"t","shortcodes":[]})")),
                 DecodingError);
    EXPECT_THROW(CustomSnippet::fromJson(
                     parsed(R"({"id":"i","name":"n","insertText":7,"shortcodes":[],"keywords":[]})")),
                 DecodingError);
}

TEST(KeyboardShortcutJson, NumbersMustFitTheirFieldsExactly) {
    const KeyboardShortcut shortcut{65535, 0xFFFFFFFFFFFFFFFFull, "k"};
    EXPECT_EQ(KeyboardShortcut::fromJson(shortcut.toJson()), shortcut);
    EXPECT_EQ(KeyboardShortcut::fromJson(
                  parsed(R"({"keyCode":14,"modifierFlagsRawValue":1048576,"keyEquivalent":"e"})")),
              (KeyboardShortcut{14, 0x100000, "e"}));

    for (const char* bad : {
             R"({"keyCode":65536,"modifierFlagsRawValue":0,"keyEquivalent":"k"})",
             R"({"keyCode":-1,"modifierFlagsRawValue":0,"keyEquivalent":"k"})",
             R"({"keyCode":14.5,"modifierFlagsRawValue":0,"keyEquivalent":"k"})",
             R"({"keyCode":"14","modifierFlagsRawValue":0,"keyEquivalent":"k"})",
             R"({"keyCode":14,"modifierFlagsRawValue":18446744073709551616,"keyEquivalent":"k"})",
             R"({"keyCode":14,"modifierFlagsRawValue":-131072,"keyEquivalent":"k"})",
             R"({"keyCode":14,"keyEquivalent":"k"})",
             R"({"keyCode":14,"modifierFlagsRawValue":0})",
         }) {
        EXPECT_THROW(KeyboardShortcut::fromJson(parsed(bad)), DecodingError) << bad;
    }
}

TEST(KeyboardShortcut, DisplayStringNamesKeysAsLinuxDesktopsDo) {
    using namespace ModifierFlag;
    const std::vector<std::pair<KeyboardShortcut, std::string>> cases = {
        {{14, control | command, "e"}, "Ctrl+Super+E"},
        {{40, shortcutMask, "k"}, "Ctrl+Alt+Shift+Super+K"},  // this order, whatever the bits' order
        {{49, option, " "}, "Alt+Space"},
        {{49, 0, " "}, "Space"},
        {{0, shift, ""}, "Shift"},
        {{27, command, "\xC3\x9F"}, "Super+SS"},  // full upper-casing
        {{111, shortcutMask, "\uF70F"}, "Ctrl+Alt+Shift+Super+F12"},
        {{122, control, "\uF704"}, "Ctrl+F1"},
        {{116, option, "\uF72C"}, "Alt+Page Up"},
        {{126, command, "\uF700"}, "Super+Up"},
        {{0, control, "\uF7FF"}, "Ctrl+\uF7FF"},  // a private character without a name stays
    };
    for (const auto& [shortcut, shown] : cases) EXPECT_EQ(shortcut.displayString(), shown) << shown;
}

TEST(KeyboardShortcut, RecordingNeedsACommandLikeModifierAndOnePrintableCharacter) {
    using namespace ModifierFlag;
    const auto recorded = KeyboardShortcut::recorded(keyDown(KeyCode::a, command | shift | capsLock, "A"));
    ASSERT_TRUE(recorded);
    EXPECT_EQ(*recorded, (KeyboardShortcut{KeyCode::a, command | shift, "a"}));

    EXPECT_FALSE(KeyboardShortcut::recorded(keyDown(KeyCode::a, shift, "A")));
    EXPECT_FALSE(KeyboardShortcut::recorded(keyDown(KeyCode::returnKey, command, "\r")));
    EXPECT_FALSE(KeyboardShortcut::recorded(keyDown(KeyCode::tab, option, "\t")));
    EXPECT_FALSE(KeyboardShortcut::recorded(keyDown(KeyCode::a, control, "ab")));
    EXPECT_FALSE(KeyboardShortcut::recorded(keyDown(KeyCode::a, control, "", "")));
    // Without characters ignoring modifiers the typed characters count.
    EXPECT_EQ(KeyboardShortcut::recorded(keyDown(KeyCode::a, option, "", "\xC3\x85"))->keyEquivalent,
              "\xC3\xA5");
    // One character made of several scalars is still one key.
    EXPECT_EQ(KeyboardShortcut::recorded(keyDown(7, control, "e\xCC\x81"))->keyEquivalent, "e\xCC\x81");
    EXPECT_EQ(KeyboardShortcut::recorded(keyDown(KeyCode::space, control, " "))->keyEquivalent, " ");
}

TEST(KeyboardShortcut, MatchingComparesKeyCodeAndTheFourModifierBitsExactly) {
    using namespace ModifierFlag;
    const KeyboardShortcut shortcut{14, control | command, "e"};
    EXPECT_TRUE(shortcut.matches(keyDown(14, control | command | capsLock, "e")));
    EXPECT_FALSE(shortcut.matches(keyDown(14, control | command | shift, "E")));
    EXPECT_FALSE(shortcut.matches(keyDown(14, command, "e")));
    EXPECT_FALSE(shortcut.matches(keyDown(15, control | command, "r")));
}

TEST(OptionEnums, RawValuesRoundTripAndUnknownNamesGiveNone) {
    for (auto c : quick_open_shortcut::allCases)
        EXPECT_EQ(quick_open_shortcut::fromRawValue(quick_open_shortcut::rawValue(c)), c);
    for (auto c : quick_open_target::allCases)
        EXPECT_EQ(quick_open_target::fromRawValue(quick_open_target::rawValue(c)), c);
    for (auto c : search_sort_priority::allCases)
        EXPECT_EQ(search_sort_priority::fromRawValue(search_sort_priority::rawValue(c)), c);
    for (auto c : skin_tone::allCases) EXPECT_EQ(skin_tone::fromRawValue(skin_tone::rawValue(c)), c);

    EXPECT_EQ(quick_open_shortcut::fromRawValue("doubleSemicolon"), QuickOpenShortcut::doubleSemicolon);
    EXPECT_EQ(skin_tone::fromRawValue("mediumLight"), SkinTone::mediumLight);
    EXPECT_EQ(skin_tone::fromRawValue("Light"), std::nullopt);
    EXPECT_EQ(quick_open_target::fromRawValue(""), std::nullopt);
    EXPECT_EQ(search_sort_priority::fromRawValue("emoticonsfirst"), std::nullopt);

    EXPECT_EQ(quick_open_shortcut::sequence(QuickOpenShortcut::disabled), std::nullopt);
    std::string sequences;
    for (auto c : quick_open_shortcut::enabledCases)
        sequences += std::string(*quick_open_shortcut::sequence(c)) + " ";
    EXPECT_EQ(sequences, ";; :: // ,, ");
}

}  // namespace
}  // namespace mosaiko

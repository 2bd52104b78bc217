// The library window at work: opened with its shortcut while the user types in another
// application, searched from the keyboard, and its entry typed into that application or copied.
#include "e2e/DesktopTest.hpp"
#include "platform/Base64.hpp"
#include "platform/Json.hpp"

namespace mosaiko::testing {
namespace {

// How often the defaults file says `text` was inserted.
std::int64_t storedUseCount(const std::filesystem::path& file, const std::string& text) {
    const auto document = json::parse(readFile(file));
    if (!document) return 0;
    const auto data =
        document->value(nlohmann::json::json_pointer("/values/emojiUsageCounts/$data"), std::string());
    const auto bytes = base64::decode(data);
    const auto counts = bytes ? json::parse(*bytes) : std::nullopt;
    if (!counts || !counts->is_object() || !counts->contains(text)) return 0;
    return (*counts)[text].is_number_integer() ? (*counts)[text].get<std::int64_t>() : 0;
}

class LibraryEndToEnd : public DesktopTest {
  protected:
    void SetUp() override { startSession(); }

    std::optional<WindowInfo> library(bool viewable = true) {
        return session().waitForWindow([&](const WindowInfo& w) {
            return w.viewable == viewable && w.name == "Emoji Library" && w.pid == program().pid();
        });
    }
    void activate(const WindowInfo& window) {
        ASSERT_EQ(session().xdotool({"windowactivate", "--sync", std::to_string(window.id)}), 0);
    }
};

// The text goes to the application used before the library, although clicking the library made
// Mosaiko the active application; the skin tone is the user's default one.
TEST_F(LibraryEndToEnd, InsertsIntoTheApplicationUsedBeforeAndCopies) {
    MemoryDefaults user = RunningProgram::returningUser();
    user.set("defaultSkinTone", std::string("mediumDark"));
    startProgram(user);
    TextClient* client = startClient(TextClient::Kind::qtLineEdit);
    if (!client) return;
    const std::string toned = "👍🏾";

    press({"ctrl+alt+shift+super+F12"});
    const auto window = library();
    ASSERT_TRUE(window) << "the shortcut opened no library\n" << program().output();
    activate(*window);
    type("thumbs up");
    press({"Return"});
    EXPECT_TRUE(holdsText(*client, toned));
    EXPECT_TRUE(
        waitUntil([&] { return storedUseCount(RunningProgram::defaultsFile(session()), toned) == 1; }, 10));

    // The library came back; its Copy button (after Pin) puts the same text on the clipboard.
    const auto again = library();
    ASSERT_TRUE(again) << "the library did not come back after inserting";
    activate(*again);
    press({"Tab", "Tab", "space"});
    ASSERT_TRUE(client->focus());
    press({"ctrl+v"});
    EXPECT_TRUE(holdsText(*client, toned + toned));
    EXPECT_EQ(storedUseCount(RunningProgram::defaultsFile(session()), toned), 1);
}

}  // namespace
}  // namespace mosaiko::testing

// How the program ends with its session: the X server going away under it (a logout), or the
// terminal it was started from closing (SIGHUP). Either way the use made just before is on disk and
// the end is an orderly one.
#include <signal.h>

#include <algorithm>

#include "e2e/DesktopTest.hpp"
#include "platform/linux/DefaultsFileFormat.hpp"

namespace mosaiko::testing {
namespace {

class SessionEnd : public DesktopTest {
  protected:
    void SetUp() override {
        startSession();
        // A tool that gets no processor for the repeat delay between a press and its release (a
        // loaded machine) has its key repeated: "smii" finds nothing. These tests are about the end.
        XAutoRepeatOff(session().connection());
        XSync(session().connection(), False);
    }

    // Inserts the first result for "smi" into a Qt line edit through ";;"; returns the text once
    // the field shows it, when the use has been recorded in memory and a spare keycode still holds
    // the emoji (it is given back half a second after its last key).
    std::string insertOne() {
        TextClient* client = startProgramAndClient(TextClient::Kind::qtLineEdit);
        if (!client) return {};
        type(";;");
        EXPECT_TRUE(program().waitForPanel(true)) << "no panel after \";;\"";
        type("smi");
        press({"Return"});
        // What was typed for the search reaches the field first (the first ";", or all of it when
        // the pair is seen late) and is erased before the emoji comes: a client behind shows it
        // for a while.
        const auto inserted = [&] {
            const std::string text = client->text();
            return !text.empty() && text.find_first_of(";smi") == std::string::npos;
        };
        EXPECT_TRUE(waitUntil(inserted, 10))
            << "the field holds \"" << client->text() << "\"; the panel "
            << (program().panel() ? "shows" : "is gone") << "; the client "
            << (session().hasFocus(client->window()) ? "has" : "lacks") << " the focus\n"
            << program().output();
        return inserted() ? client->text() : std::string();
    }

    // The use counts the defaults file holds.
    std::map<std::string, std::int64_t> savedCounts() {
        std::map<std::string, std::int64_t> counts;
        const auto values = DefaultsFileFormat::decode(readFile(RunningProgram::defaultsFile(session())));
        const auto found = values.values.find("emojiUsageCounts");
        const auto* data = found == values.values.end() ? nullptr : found->second.get<DefaultsData>();
        const auto json = json::parse(data ? data->bytes : "");
        if (!json || !json->is_object()) return counts;
        for (const auto& [text, count] : json->items()) counts[text] = count.get<std::int64_t>();
        return counts;
    }

    // The files in the program's runtime folder whose names start with `prefix`.
    std::vector<std::string> runtimeFiles(const std::string& prefix) {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& item : fs::directory_iterator(session().runtimeDir() / RunningProgram::kAppId, ec)) {
            const std::string name = item.path().filename().string();
            if (name.starts_with(prefix)) names.push_back(name);
        }
        return names;
    }
};

// Qt's X11 platform ended the process with exit(1) on whichever thread noticed, the key tap's among
// them: static destructors ran beside live threads (crashes in 9 of 15 rounds) and the last half
// second of changes was lost in 7 of 15.
TEST_F(SessionEnd, TheDisplayGoingAwayLeavesTheLastUseSavedAndEndsCleanly) {
    const std::string inserted = insertOne();
    if (inserted.empty()) return;
    session().killServer();
    EXPECT_EQ(program().process().waitForExit(15), 0) << program().output();
    EXPECT_EQ(savedCounts(), (std::map<std::string, std::int64_t>{{inserted, 1}})) << program().output();
    EXPECT_TRUE(fs::is_empty(RunningProgram::registryFolder(session())))
        << "the registry entry and lock are gone";
    // The keycode the emoji was typed on could not be given back: its record waits for the next start.
    EXPECT_EQ(runtimeFiles("keycodes.").size(), 1u);
    // Which, on another display, removes it: no server serves the display that went away. (It stayed.)
    XSession other(withWindowManager());
    ASSERT_TRUE(other.ok()) << other.error();
    auto next = RunningProgram::startElsewhere(session(), other, {}, "next.log");
    EXPECT_TRUE(waitUntil([&] { return runtimeFiles("keycodes.").empty(); }, 30))
        << readFile(other.scratchDirectory() / "next.log");
}

// SIGHUP ended the process at once: the last uses were lost and the keycode stayed mapped.
TEST_F(SessionEnd, SighupShutsDownAsSigtermDoes) {
    const std::string inserted = insertOne();
    if (inserted.empty()) return;
    program().process().signal(SIGHUP);
    EXPECT_EQ(program().process().waitForExit(15), 0) << program().output();
    EXPECT_EQ(savedCounts(), (std::map<std::string, std::int64_t>{{inserted, 1}}));
    EXPECT_TRUE(runtimeFiles("keycodes.").empty()) << "the keycode was given back";
    // No keycode types the emoji any more.
    const KeySym typed = 0x1000000 + text::scalars(inserted).front();
    const auto mapping = session().keyboardMapping();
    const bool held = std::find(mapping.begin(), mapping.end(), typed) != mapping.end();
    EXPECT_FALSE(held) << "a keycode still types the emoji";
}

}  // namespace
}  // namespace mosaiko::testing

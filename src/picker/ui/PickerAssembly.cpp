#include "picker/ui/PickerAssembly.hpp"

#include <algorithm>

#include "content/CollectionsStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmojiUsageStore.hpp"
#include "content/EmoticonCatalog.hpp"
#include "content/PreferencesStore.hpp"
#include "picker/GlobalKeyTap.hpp"
#include "picker/PickerViewModel.hpp"
#include "picker/ui/PickerPanelController.hpp"
#include "platform/BuildInfo.hpp"
#include "platform/MainLoop.hpp"
#include "platform/Workspace.hpp"

namespace mosaiko {

PickerAssembly::Picker PickerAssembly::build(Parts parts) {
    auto model = std::make_unique<PickerViewModel>(parts.db, parts.prefs, parts.usage, parts.collections,
                                                   parts.mainLoop);
    auto panel = std::make_shared<PickerPanelController>(*model, parts.prefs, parts.collections,
                                                         parts.screens, parts.primaryDesktopFrame);
    auto keyTap = std::make_shared<GlobalKeyTap>(GlobalKeyTap::Dependencies::overPorts(parts.createTap));

    // Without a poster every event counts as impossible to make, so nothing is half typed.
    const bool canPost = static_cast<bool>(parts.postEvent);
    auto inserter = std::make_shared<EmojiInserter>(
        canPost ? parts.postEvent : [](const SyntheticKeyEvent&) {},
        canPost ? EmojiInserter::plainEventFactory()
                : EmojiInserter::KeyboardEventFactory([](std::uint16_t, bool) { return std::nullopt; }),
        parts.canTypeText);

    PickerController::Dependencies d;
    const Clock& clock = parts.clock;
    d.now = [&clock] { return clock.uptime(); };
    d.insertEmoji = [inserter](const std::string& text, int deleteCount) {
        return inserter->insert(text, deleteCount);
    };
    EmojiUsageStore& usage = parts.usage;
    d.recordUsedEmoji = [&usage](const std::string& text) { usage.recordUsed(text); };
    CollectionsStore& collections = parts.collections;
    d.pinnedIDs = [&collections] { return collections.pinnedIDs(); };
    d.hasEmoticons = [] {
        return !EmoticonCatalog::orderedEntries(EmoticonCatalog::defaultOrder(), {}).empty();
    };
    EmojiDatabase& db = parts.db;
    d.hasGlyphs = [&db] {
        const auto& entries = db.emojis();
        return std::any_of(entries.begin(), entries.end(),
                           [](const EmojiEntry& e) { return e.id.starts_with("glyph-"); });
    };
    d.contentReady = [&db] { return db.isLoaded(); };
    Workspace* workspace = parts.workspace;
    d.frontmostApp = [workspace] {
        PickerController::Dependencies::FrontmostApp app;
        if (!workspace) return app;
        if (const auto frontmost = workspace->frontmostApplication()) {
            app.bundleID = frontmost->bundleIdentifier;
            app.name = frontmost->localizedName;
            if (!frontmost->windowId.empty()) app.windowID = frontmost->windowId;
        }
        return app;
    };
    if (workspace) {
        d.watchFrontmost = [workspace](std::function<void()> changed) {
            return workspace->observeActivations(
                [changed = std::move(changed)](const RunningApp&) { changed(); });
        };
    }
    d.ownBundleID = std::string(buildinfo::kAppIdentifier);
    d.bindPanelAndKeyTap(panel, keyTap);

    PickerPanelController* panelController = panel.get();
    auto controller =
        std::make_unique<PickerController>(parts.prefs, std::move(model), std::move(d), parts.mainLoop);
    return {std::move(controller), panelController};
}

}  // namespace mosaiko

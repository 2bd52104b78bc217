#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>

#include "content/CollectionsStore.hpp"
#include "content/CustomContentStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmojiUsageStore.hpp"
#include "content/EmoticonCatalog.hpp"
#include "content/GlyphCatalog.hpp"
#include "content/PreferencesStore.hpp"
#include "library/LibraryViewModel.hpp"
#include "library/ui/LibraryView.hpp"
#include "platform/AppBundle.hpp"
#include "platform/MemoryDefaults.hpp"
#include "platform/fake/ManualMainLoop.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/SymbolImage.hpp"
#include "support/MemoryStores.hpp"

namespace mosaiko::testing {

// The library view over the real data file, the built-in emoticons and glyphs and two snippets,
// with stores in memory.
class LibraryUiFixture : public ::testing::Test, protected MemoryStores {
  protected:
    LibraryUiFixture() {
        SymbolImage::setResourceDirectory(QStringLiteral(MOSAIKO_SOURCE_DIR "/resources"));
        DesktopAppearance::overrideAccent(QColor(0x0a, 0x84, 0xff));
        custom.addSnippet("Sign-off", "Best regards,\nAlex", {"bye", "regards"}, {"mail"});
        custom.addSnippet("Address", "221B Baker Street, London", {"addr"}, {});
        mergeContent();
        model = std::make_unique<LibraryViewModel>(db(), prefs, usage, collections, loop);
        view = std::make_unique<LibraryView>(*model, custom);
        view->resize(1280, 780);
    }

    ~LibraryUiFixture() override {
        view.reset();
        DesktopAppearance::overrideDark(std::nullopt);
        DesktopAppearance::overrideAccent(std::nullopt);
    }

    static EmojiDatabase& db() {
        static EmojiDatabase* database =
            new EmojiDatabase(AppBundle(std::filesystem::path(MOSAIKO_SOURCE_DIR "/resources")),
                              OperatingSystemVersion{99, 0, 0});
        return *database;
    }

    // The catalogs and the snippets as the database's extra entries, as the content coordinator
    // merges them.
    void mergeContent() {
        std::vector<EmojiEntry> extra = GlyphCatalog::entries();
        for (const auto& e : EmoticonCatalog::allEntries()) extra.push_back(e);
        for (const auto& e : custom.allEmojiEntries()) extra.push_back(e);
        db().setExtraEmojis(extra);
    }

    // A new snippet, in the library once merged; its entry id.
    std::string addSnippet(const std::string& name, const std::string& text) {
        custom.addSnippet(name, text, {"code"}, {});
        mergeContent();
        settle();
        return "snippet-" + custom.snippets().front().id;  // new snippets come first
    }

    // Lets the model's deferred work and the views' redraws run.
    void settle() {
        for (int i = 0; i < 4; ++i) {
            loop.runPending();
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    CustomContentStore custom{defaults};
    std::unique_ptr<LibraryViewModel> model;
    std::unique_ptr<LibraryView> view;
};

}  // namespace mosaiko::testing

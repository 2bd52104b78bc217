#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "content/CollectionsStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmojiUsageStore.hpp"
#include "content/PreferencesStore.hpp"
#include "picker/PickerViewModel.hpp"
#include "picker/ui/CollectionsRowView.hpp"
#include "picker/ui/MainRowView.hpp"
#include "picker/ui/MixedToneVariantMatrix.hpp"
#include "picker/ui/PickerPanel.hpp"
#include "picker/ui/PickerPanelController.hpp"
#include "picker/ui/PickerTileButton.hpp"
#include "picker/ui/PickerView.hpp"
#include "picker/ui/TopRowAccessoryControls.hpp"
#include "picker/ui/VariantsRowView.hpp"
#include "platform/AppBundle.hpp"
#include "platform/MemoryDefaults.hpp"
#include "platform/fake/FakeScreenInfo.hpp"
#include "platform/fake/ManualMainLoop.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/SymbolImage.hpp"
#include "support/MemoryStores.hpp"

namespace mosaiko::testing {

// The real emoji data file, loaded once, with a few built-in and user entries beside it.
inline EmojiDatabase& sharedTestDatabase() {
    static EmojiDatabase* db = [] {
        auto* database = new EmojiDatabase(AppBundle(std::filesystem::path(MOSAIKO_SOURCE_DIR "/resources")),
                                           OperatingSystemVersion{99, 0, 0});
        auto extra = [](std::string id, std::string text, std::string name, std::string category) {
            EmojiEntry e;
            e.id = std::move(id);
            e.emoji = std::move(text);
            e.name = std::move(name);
            e.category = std::move(category);
            return e;
        };
        database->setExtraEmojis({
            extra("emoticon-shrug", "¯\\_(ツ)_/¯", "Shrug", "Emoticons"),
            extra("emoticon-smile", ":-)", "Smile", "Emoticons"),
            extra("glyph-zero-width-space", "\u200B", "Zero width space", "Glyphs"),
            extra("glyph-non-breaking-space", "\u00A0", "Non-breaking space", "Glyphs"),
            extra("glyph-arrow-right", "→", "Rightwards arrow", "Glyphs"),
            extra("snippet-smiling-sign-off",
                  "Thanks a lot and have a smiling day — see you at the meeting tomorrow morning!",
                  "Smiling sign-off", "Snippets"),
            extra("snippet-smiling-pair", "😀😀", "Smiling pair", "Snippets"),
            extra("snippet-hebrew-greeting",
                  "שלום לכולם, תודה רבה ונתראה בפגישה מחר בבוקר עם כל הצוות והמנהלים",
                  "ברכת שלום לכל הצוות", "Snippets"),
        });
        return database;
    }();
    return *db;
}

// A picker panel over real stores (in memory), the real data file and a pointer the test moves.
class PickerUiFixture : public ::testing::Test, protected MemoryStores {
  protected:
    PickerUiFixture() {
        SymbolImage::setResourceDirectory(QStringLiteral(MOSAIKO_SOURCE_DIR "/resources"));
        DesktopAppearance::overrideDark(false);
        DesktopAppearance::overrideAccent(QColor(0x0a, 0x84, 0xff));
        model = std::make_unique<PickerViewModel>(sharedTestDatabase(), prefs, usage, collections, loop);
        screens.screenList = {{{0, 0, 1440, 900}, {0, 0, 1440, 875}}};
        screens.pointer = {700, 500};
        panel = std::make_unique<PickerPanelController>(*model, prefs, collections, screens, [] {
            return ScreenInfo::Rect{0, 0, 1440, 900};
        });
        actionSubscription = model->uiActionSubject.subscribe(
            [this](const PickerViewModel::UIAction& action) { actions.push_back(action); });
    }

    ~PickerUiFixture() override {
        panel.reset();
        DesktopAppearance::overrideDark(std::nullopt);
        DesktopAppearance::overrideAccent(std::nullopt);
        DesktopAppearance::overrideTranslucentWindowsBlend(std::nullopt);
    }

    // Lets the model's deferred work and the views' redraws run.
    void settle() {
        for (int i = 0; i < 4; ++i) {
            loop.runPending();
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    void open(const std::string& query) {
        model->resetForNewSession(query);
        panel->show(screens.pointer);
        settle();
    }

    PickerView& view() { return panel->view(); }

    int indexOf(const std::string& id) const {
        const auto& results = model->results();
        for (std::size_t i = 0; i < results.size(); ++i)
            if (results[i].id == id) return static_cast<int>(i);
        return -1;
    }

  public:
    // A pointer movement over `widget` as the window system delivers it.
    static void hover(QWidget* widget, QPoint at = {}) {
        if (at.isNull()) at = widget->rect().center();
        QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }
    static void click(QWidget* widget, Qt::KeyboardModifiers modifiers = Qt::NoModifier, QPoint at = {}) {
        if (at.isNull()) at = widget->rect().center();
        const QPoint global = widget->mapToGlobal(at);
        QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, modifiers);
        QApplication::sendEvent(widget, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, modifiers);
        QApplication::sendEvent(widget, &release);
    }

  protected:
    std::unique_ptr<PickerViewModel> model;
    FakeScreenInfo screens;
    PanelPlacement::Point& pointer = screens.pointer;
    std::unique_ptr<PickerPanelController> panel;
    std::vector<PickerViewModel::UIAction> actions;
    Cancellable actionSubscription;
};

}  // namespace mosaiko::testing

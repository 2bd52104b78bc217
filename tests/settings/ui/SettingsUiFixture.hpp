#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "app/FakeWorkspace.hpp"
#include "content/CollectionsStore.hpp"
#include "content/CustomContentStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/PreferencesStore.hpp"
#include "platform/AppBundle.hpp"
#include "platform/MemoryDefaults.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/SymbolImage.hpp"
#include "platform/x11/QtKeyEventReader.hpp"
#include "settings/ui/SettingsView.hpp"

namespace mosaiko::testing {

// A settings view over an in-memory store, with a shell that records what it is asked.
struct SettingsUiFixture : ::testing::Test {
    MemoryDefaults defaults;
    PreferencesStore prefs{defaults};
    std::vector<bool> suspensions;
    std::vector<OnboardingPage> guides;
    std::vector<std::string> urls;
    std::function<void()> updaterStatusChanged;
    std::optional<std::string> launchAtLoginUnavailable;
    bool browserOpens = true;
    std::function<void(const KeyEvent&)> keyObserver;
    std::unique_ptr<SettingsView> view;

    void SetUp() override {
        SymbolImage::setResourceDirectory(QStringLiteral(MOSAIKO_SOURCE_DIR "/resources"));
        DesktopAppearance::overrideDark(false);
    }
    void TearDown() override {
        view.reset();
        settle();
        DesktopAppearance::overrideDark(std::nullopt);
    }

    SettingsView& open() {
        SettingsView::Dependencies d;
        d.prefs = &prefs;
        d.keyEventOf = &QtKeyEventReader::read;
        d.versionText = "1.4 (57)";
        d.companyURL = "https://example.org/";
        d.issuesURL = "https://example.org/issues";
        d.featureRequestsURL = "https://example.org/ideas";
        d.shell.showOnboarding = [this](OnboardingPage page) { guides.push_back(page); };
        d.shell.setLibraryShortcutSuspended = [this](bool suspended) { suspensions.push_back(suspended); };
        d.shell.openUrl = [this](const std::string& url, std::function<void(bool)> answer) {
            urls.push_back(url);
            answer(browserOpens);
        };
        d.shell.launchAtLoginUnavailableReason = [this] { return launchAtLoginUnavailable; };
        d.shell.observeKeysWhileLibraryShortcutSuspended =
            [this](std::function<void(const KeyEvent&)> observer) { keyObserver = std::move(observer); };
        d.shell.observeUpdaterStatus = [this](std::function<void()> handler) {
            updaterStatusChanged = std::move(handler);
            return Cancellable([this] { updaterStatusChanged = nullptr; });
        };
        return show(std::move(d));
    }

    // A view over `d`, shown at the window's size.
    SettingsView& show(SettingsView::Dependencies d) {
        view = std::make_unique<SettingsView>(std::move(d));
        view->resize(900, 780);
        view->show();
        settle();
        return *view;
    }

    // Lets deferred redraws and queued focus requests run.
    static void settle() {
        for (int i = 0; i < 4; ++i) QCoreApplication::processEvents();
    }

    void click(QAbstractButton* button) {
        ASSERT_TRUE(button);
        ASSERT_TRUE(button->isVisible() && button->isEnabled()) << button->text().toStdString();
        button->click();
        settle();
    }
};

// A settings view whose content tabs list stores in memory over the shipped data, and the
// applications of a fake desktop.
struct SettingsStoresFixture : SettingsUiFixture {
    CollectionsStore collections{defaults};
    CustomContentStore custom{defaults};
    FakeWorkspace workspace;

    static EmojiDatabase& database() {
        static EmojiDatabase db(AppBundle(std::filesystem::path(MOSAIKO_SOURCE_DIR "/resources")),
                                OperatingSystemVersion{99, 0, 0});
        return db;
    }

    SettingsView& openWithStores() {
        SettingsView::Dependencies d;
        d.prefs = &prefs;
        d.collections = &collections;
        d.custom = &custom;
        d.db = &database();
        d.workspace = &workspace;
        d.keyEventOf = &QtKeyEventReader::read;
        return show(std::move(d));
    }
};

}  // namespace mosaiko::testing

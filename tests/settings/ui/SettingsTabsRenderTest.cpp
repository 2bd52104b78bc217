// Renders the content tabs of the settings window and the running-applications picker, light and
// dark. With MOSAIKO_RENDER_DIR set, each is written there as a PNG for a reviewer to look at.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QListWidget>
#include <QScrollArea>
#include <QScrollBar>
#include <cstdlib>

#include "content/CollectionsStore.hpp"
#include "content/CustomContentStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/PreferencesStore.hpp"
#include "platform/AppBundle.hpp"
#include "platform/MemoryDefaults.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/SymbolImage.hpp"
#include "settings/ui/CollectionsManageView.hpp"
#include "settings/ui/EmoticonEditorView.hpp"
#include "settings/ui/ExcludedAppsTab.hpp"
#include "settings/ui/RunningAppsPickerView.hpp"
#include "settings/ui/SnippetsManageView.hpp"
#include "settings/ui/SettingsStyle.hpp"

namespace mosaiko {
namespace {

class SettingsTabsRenderTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        SymbolImage::setResourceDirectory(QStringLiteral(MOSAIKO_SOURCE_DIR "/resources"));
        DesktopAppearance::overrideDark(GetParam());
        for (const char* id : {"grinning", "partying_face", "heart", "tada", "gone"})
            collections.togglePinned(id);
        collections.setPinnedAlias("party hat", "partying_face");
        prefs.setExcludedApps({{"Text Editor", "org.gnome.TextEditor"}, {"Kitty", std::nullopt}});
        prefs.setHiddenEmoticonIDs({"emoticon-unflip"});
    }
    void TearDown() override { DesktopAppearance::overrideDark(std::nullopt); }

    // Shows the widget at the size the settings window gives a tab, in the window's palette.
    QImage render(QWidget& widget, QSize size, const QString& name) {
        widget.setPalette(SettingsStyle::palette());
        widget.setAutoFillBackground(true);
        widget.resize(size);
        widget.show();
        QCoreApplication::processEvents();
        const QImage image = widget.grab().toImage();
        if (const char* directory = std::getenv("MOSAIKO_RENDER_DIR"); directory && *directory) {
            QDir().mkpath(QString::fromLocal8Bit(directory));
            const QString file = QString::fromLocal8Bit(directory) + QStringLiteral("/settings-") + name +
                                 (GetParam() ? QStringLiteral("-dark.png") : QStringLiteral("-light.png"));
            EXPECT_TRUE(image.save(file)) << file.toStdString();
        }
        return image;
    }

    MemoryDefaults defaults;
    PreferencesStore prefs{defaults};
    CollectionsStore collections{defaults};
    CustomContentStore custom{defaults};
    const QSize tabSize{900, 740};
};

TEST_P(SettingsTabsRenderTest, ContentTabsAndTheRunningAppsPicker) {
    static EmojiDatabase db(AppBundle(std::filesystem::path(MOSAIKO_SOURCE_DIR "/resources")),
                            OperatingSystemVersion{99, 0, 0});
    CollectionsManageView pins(true, collections, db, prefs);
    EXPECT_FALSE(render(pins, tabSize, QStringLiteral("pins")).isNull());

    ExcludedAppsTab excluded(prefs, {});
    excluded.setContentsMargins(16, 16, 16, 16);
    EXPECT_FALSE(render(excluded, tabSize, QStringLiteral("excluded-apps")).isNull());

    // The tab scrolls, as the settings window shows it: its top and its end.
    QScrollArea emoticons;
    emoticons.setWidgetResizable(true);
    emoticons.setWidget(new EmoticonEditorView(prefs));
    EXPECT_FALSE(render(emoticons, tabSize, QStringLiteral("emoticons")).isNull());
    emoticons.verticalScrollBar()->setValue(emoticons.verticalScrollBar()->maximum());
    EXPECT_FALSE(render(emoticons, tabSize, QStringLiteral("emoticons-end")).isNull());

    custom.addSnippet("Sign-off", "Best regards,\nAlex", {"sig", "bye"}, {"mail"});
    custom.addSnippet("Shrug", "¯\\_(ツ)_/¯", {"shrug", "idk"}, {});
    SnippetsManageView snippets(true, custom, prefs);
    EXPECT_FALSE(render(snippets, tabSize, QStringLiteral("shortcodes")).isNull());

    RunningAppsPickerView picker({}, [] {
        return std::vector<RunningAppsPickerView::Snapshot>{
            {"Text Editor", "org.gnome.TextEditor"}, {"Files", "org.gnome.Nautilus"}, {"xterm", "XTerm"}};
    });
    picker.list()->item(1)->setSelected(true);
    EXPECT_FALSE(render(picker, picker.size(), QStringLiteral("running-apps")).isNull());
}

INSTANTIATE_TEST_SUITE_P(Appearance, SettingsTabsRenderTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Dark" : "Light"; });

}  // namespace
}  // namespace mosaiko

// Renders the content tabs of the settings window and the running-applications picker, light and
// dark, as the window shows them. With MOSAIKO_RENDER_DIR set, each is written there as a PNG for a
// reviewer to look at.
#include <QAbstractButton>
#include <QDialog>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <cstdlib>

#include "settings/ui/EmoticonEditorView.hpp"
#include "settings/ui/GeneralTab.hpp"
#include "settings/ui/RunningAppsPickerView.hpp"
#include "settings/ui/SettingsUiFixture.hpp"
#include "support/RenderForReview.hpp"
#include "support/SchemeSwitch.hpp"

namespace mosaiko::testing {
namespace {

using Tab = SettingsView::Tab;

class SettingsTabsRenderTest : public SettingsStoresFixture, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        SettingsUiFixture::SetUp();
        DesktopAppearance::overrideDark(GetParam());
        // Long and right-to-left names among the ordinary ones.
        const std::string longName =
            "A snippet with a name far too long for its row, written out in full to see where it ends";
        const std::string rightToLeft = "\u05DE\u05D7\u05E9\u05D1\u05D5\u05DF \u05D4\u05DE\u05E9\u05E8\u05D3";
        for (const char* id : {"grinning", "partying_face", "heart", "tada", "gone",
                               "an-entry-that-is-gone-with-an-identifier-much-too-long-for-its-column"})
            collections.togglePinned(id);
        collections.setPinnedAlias("party hat", "partying_face");
        prefs.setExcludedApps({{"Text Editor", "org.gnome.TextEditor"},
                               {"Kitty", std::nullopt},
                               {rightToLeft, "org.example.Calculator"},
                               {longName, "org.example.an.application.with.a.very.long.identifier.indeed"}});
        prefs.setHiddenEmoticonIDs({"emoticon-unflip"});
        custom.addSnippet("Sign-off", "Best regards,\nAlex", {"sig", "bye"}, {"mail"});
        custom.addSnippet("Shrug", "¯\\_(ツ)_/¯", {"shrug", "idk"}, {});
        custom.addSnippet(longName, "<b>Hello</b>", {"long"}, {});
        custom.addSnippet(rightToLeft, "\u05E9\u05DC\u05D5\u05DD", {"rtl"}, {});
        custom.addSnippet("Grins 😀", "😀😀 ok 👍", {"grins"}, {});
        workspace.running = {{"org.example.Calculator", rightToLeft, 10, ""},
                             {"org.gnome.TextEditor", "Text Editor", 11, ""},
                             {"org.gnome.Nautilus", "Files", 12, ""},
                             {"XTerm", "xterm", 13, ""}};
        openWithStores();
    }

    void save(const QImage& image, const QString& name) {
        ASSERT_FALSE(image.isNull());
        // The window background follows the scheme.
        EXPECT_EQ(image.pixelColor(image.width() - 3, image.height() - 3).lightness() < 128, GetParam());
        saveForReview(image, QStringLiteral("settings-") + name, GetParam());
    }

    QImage renderTab(Tab tab) {
        view->tabWidget()->setCurrentIndex(static_cast<int>(tab));
        settle();
        return view->grab().toImage();
    }

    // As drawn, the hidden emoticon's Show and its badge read on their fills, and so does the red
    // Reset All Settings on its button.
    void expectReadable(const QImage& emoticons) {
        auto* tab = static_cast<EmoticonEditorView*>(view->tabContent(Tab::emoticons));
        EmoticonEditorRowView* hidden = tab->rows()[1];
        ASSERT_TRUE(hidden->row().isHidden);
        const auto drawn = [&](QWidget* widget) {
            return QRect(widget->mapTo(view.get(), QPoint(0, 0)), widget->size());
        };
        EXPECT_GE(renderedContrast(emoticons, drawn(hidden->toggleHiddenButton())), 4.5);
        EXPECT_GE(renderedContrast(emoticons, drawn(hidden->hiddenBadge())), 3.0);
        renderTab(Tab::general);
        QPushButton* reset = static_cast<GeneralTab*>(view->tabContent(Tab::general))->resetAllButton();
        EXPECT_GE(renderedContrast(reset->grab().toImage(), reset->rect().adjusted(3, 3, -3, -3)), 3.0);
    }
};

TEST_P(SettingsTabsRenderTest, ContentTabsAndTheRunningAppsPicker) {
    save(renderTab(Tab::excludedApps), QStringLiteral("excluded-apps"));
    save(renderTab(Tab::pins), QStringLiteral("pins"));
    const QImage emoticons = renderTab(Tab::emoticons);
    save(emoticons, QStringLiteral("emoticons"));
    expectReadable(emoticons);
    auto* area = qobject_cast<QScrollArea*>(view->tabContent(Tab::emoticons)->parentWidget()->parentWidget());
    ASSERT_NE(area, nullptr);
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
    save(renderTab(Tab::emoticons), QStringLiteral("emoticons-end"));
    save(renderTab(Tab::shortcodes), QStringLiteral("shortcodes"));
    // A snippet's emoji, in its name and its text, are drawn in colour.
    int colourful = 0;
    for (QLabel* label : view->tabContent(Tab::shortcodes)->findChildren<QLabel*>()) {
        if (label->text().contains(QString::fromUtf8("😀")))
            colourful += hasColourIn(label->grab().toImage(), label->rect());
    }
    EXPECT_EQ(colourful, 2);

    view->tabWidget()->setCurrentIndex(static_cast<int>(Tab::excludedApps));
    view->state().setRunningAppsSheetShown(true);
    settle();
    auto* sheet = qobject_cast<RunningAppsPickerView*>(view->runningAppsSheet());
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->list()->count(), 4);
    sheet->list()->item(2)->setSelected(true);
    save(sheet->grab().toImage(), QStringLiteral("running-apps"));
    // The selected row's identifier reads on the selection's fill, as its name does.
    const QColor fill = sheet->list()->palette().color(QPalette::Highlight);
    for (QLabel* label : sheet->list()->itemWidget(sheet->list()->item(2))->findChildren<QLabel*>()) {
        const QColor ink = label->palette().color(label->foregroundRole());
        const auto over = [&](double a, double b) { return a * ink.alphaF() + b * (1 - ink.alphaF()); };
        const QColor shown =
            QColor::fromRgbF(over(ink.redF(), fill.redF()), over(ink.greenF(), fill.greenF()),
                             over(ink.blueF(), fill.blueF()));
        EXPECT_GE(DesktopAppearance::contrastRatio(shown, fill), 3.0) << label->text().toStdString();
    }
}

// The desktop switches to this look while the window is open, every tab built in the other one.
TEST_P(SettingsTabsRenderTest, EveryTabAfterALiveSwitch) {
    DesktopAppearance::overrideDark(std::nullopt);
    const QPalette light = QApplication::palette();
    if (!GetParam()) QApplication::setPalette(darkDesktopPalette(light));
    openWithStores();
    const std::pair<Tab, const char*> tabs[] = {
        {Tab::general, "general"},     {Tab::excludedApps, "excluded-apps"}, {Tab::pins, "pins"},
        {Tab::emoticons, "emoticons"}, {Tab::shortcodes, "shortcodes"},      {Tab::info, "info"}};
    for (const auto& [tab, name] : tabs) renderTab(tab);
    QApplication::setPalette(GetParam() ? darkDesktopPalette(light) : light);
    settle();
    ASSERT_EQ(DesktopAppearance::isDark(), GetParam());
    for (const auto& [tab, name] : tabs)
        save(renderTab(tab), QString::fromLatin1(name) + QStringLiteral("-switched"));
    expectReadable(renderTab(Tab::emoticons));
    QApplication::setPalette(light);
}

INSTANTIATE_TEST_SUITE_P(LightAndDark, SettingsTabsRenderTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Dark" : "Light"; });

}  // namespace
}  // namespace mosaiko::testing

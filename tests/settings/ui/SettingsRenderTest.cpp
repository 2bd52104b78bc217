// Renders the settings window's tabs and sheets for a reviewer. With MOSAIKO_RENDER_DIR set, each
// is written there as a PNG (light and dark); without it the images are only checked.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QScrollArea>
#include <QTabWidget>
#include <cstdlib>

#include "settings/ui/CustomSearchTriggerEditorSheet.hpp"
#include "settings/ui/GeneralTab.hpp"
#include "settings/ui/LibraryShortcutSheet.hpp"
#include "settings/ui/OpenModesCard.hpp"
#include "settings/ui/SettingsStyle.hpp"
#include "settings/ui/SettingsUiFixture.hpp"
#include "support/RenderForReview.hpp"

namespace mosaiko::testing {
namespace {

using Tab = SettingsView::Tab;

class SettingsRenderTest : public SettingsUiFixture, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        SettingsUiFixture::SetUp();
        DesktopAppearance::overrideDark(GetParam());
        DesktopAppearance::overrideAccent(QColor(0, 122, 255));
    }
    void TearDown() override {
        SettingsUiFixture::TearDown();
        DesktopAppearance::overrideAccent(std::nullopt);
    }

    // A tab's whole content at the window's width, however tall it is.
    QImage renderTab(Tab tab) {
        view->tabWidget()->setCurrentIndex(static_cast<int>(tab));
        settle();
        QImage window = view->grab().toImage();
        QWidget* content = view->tabContent(tab);
        if (auto* area = qobject_cast<QScrollArea*>(content->parentWidget()->parentWidget())) {
            const int width = area->viewport()->width();
            const int wanted =
                content->hasHeightForWidth() ? content->heightForWidth(width) : content->sizeHint().height();
            const int height = std::max(wanted, area->viewport()->height());
            content->resize(width, height);
            QImage full(view->width(), view->height() - area->viewport()->height() + height,
                        QImage::Format_ARGB32_Premultiplied);
            full.fill(SettingsStyle::palette().color(QPalette::Window));
            QPainter painter(&full);
            painter.drawImage(0, 0, window);
            painter.fillRect(QRect(area->mapTo(view.get(), QPoint(0, 0)), QSize(view->width(), height)),
                             SettingsStyle::palette().color(QPalette::Window));
            painter.drawPixmap(area->mapTo(view.get(), QPoint(0, 0)), content->grab());
            return full;
        }
        return window;
    }

    void save(const QImage& image, const QString& name) {
        ASSERT_FALSE(image.isNull());
        saveForReview(image, QStringLiteral("settings-") + name, GetParam());
    }

    // The window's background is dark in the dark scheme and light otherwise.
    void expectScheme(const QImage& image) {
        const QColor corner = image.pixelColor(image.width() - 20, image.height() - 4);
        EXPECT_EQ(corner.lightness() < 128, GetParam()) << corner.name().toStdString();
    }
};

TEST_P(SettingsRenderTest, GeneralTab) {
    prefs.setLibraryShortcut(KeyboardShortcut{14, ModifierFlag::control | ModifierFlag::option, "e"});
    prefs.setDefaultSkinTone(SkinTone::mediumLight);
    launchAtLoginUnavailable =
        "Mosaiko runs from its build folder (/home/user/mosaiko/build), so it does "
        "not start at login; an installed Mosaiko (cmake --install) does.";
    open();
    prefs.setInlineTrigger(";;");
    view->state().chooseQuickOpenShortcut(QuickOpenShortcut::doubleSemicolon);
    const QImage image = renderTab(Tab::general);
    save(image, QStringLiteral("general"));
    expectScheme(image);
}

TEST_P(SettingsRenderTest, InfoTab) {
    open();
    const QImage image = renderTab(Tab::info);
    save(image, QStringLiteral("info"));
    expectScheme(image);
}

TEST_P(SettingsRenderTest, Sheets) {
    prefs.setOpeningSequenceBlocklist({";x", "a b", "\u05E9\u05DC\u05D5\u05DD ;", ":)", " ;", "\t"});
    open();
    view->state().openCustomSearchTriggerEditor();
    view->state().setCustomSearchTriggerDraft("; ");
    view->state().setBlocklistEntryDraft("\t<b>");
    settle();
    ASSERT_TRUE(view->customSearchTriggerSheet());
    save(view->customSearchTriggerSheet()->grab().toImage(), QStringLiteral("trigger-sheet"));
    view->state().cancelCustomSearchTriggerEditor();
    view->state().setLibraryShortcutSheetShown(true);
    settle();
    ASSERT_TRUE(view->libraryShortcutSheet());
    save(view->libraryShortcutSheet()->grab().toImage(), QStringLiteral("shortcut-sheet"));
    view->state().setLibraryShortcutSheetShown(false);
    view->state().requestResetAllSettings();
    settle();
    ASSERT_TRUE(view->resetAllSettingsAlert());
    save(view->resetAllSettingsAlert()->grab().toImage(), QStringLiteral("reset-alert"));
}

INSTANTIATE_TEST_SUITE_P(LightAndDark, SettingsRenderTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Dark" : "Light"; });

}  // namespace
}  // namespace mosaiko::testing

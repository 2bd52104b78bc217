// Renders every guide page and the statistics window, light and dark. With MOSAIKO_RENDER_DIR set,
// each is written there as a PNG for a reviewer; without it the images are only checked.
#include <QDir>
#include <QImage>
#include <cstdlib>

#include "onboarding/ui/GuideUiFixture.hpp"
#include "support/RenderForReview.hpp"
#include "support/SchemeSwitch.hpp"

namespace mosaiko::testing {
namespace {

class GuideRenderTest : public GuideUiFixture, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override { DesktopAppearance::overrideDark(GetParam()); }

    void save(const QImage& image, const QString& name) { saveForReview(image, name, GetParam()); }

    // Whether some pixel inside `rect` is strongly coloured (a colour emoji or a coloured badge).
    static bool hasColourIn(const QImage& image, const QRect& rect) {
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                if (QColor(image.pixel(x, y)).hsvSaturation() > 120) return true;
        return false;
    }
};

TEST_P(GuideRenderTest, EveryGuidePage) {
    trusted = false;
    auto view = guide(OnboardingPage::welcome);
    for (const OnboardingPage page : onboarding_page::allCases) {
        view->model().selectPage(page);
        settle();
        const QImage image = view->grab().toImage();
        save(image, QStringLiteral("guide-") +
                        QString::fromUtf8(onboarding_page::presentation(page).tabTitle).toLower());
        // The header tile's emoji is drawn in colour.
        EXPECT_TRUE(hasColourIn(image, QRect(24 + 20, 24 + 20, 42, 42)));
        // The background follows the page and the appearance.
        const QColor corner = image.pixelColor(2, 2);
        EXPECT_EQ(corner.lightness() < 128, GetParam());
    }
}

TEST_P(GuideRenderTest, StatisticsWithData) {
    usage.recordUsed("🦊");
    clock.advance(8 * 86400);
    for (const char* text :
         {"🦊", "🦊", "🦊", "¯\\_(ツ)_/¯", "🐢", "🐢", "👍🏽", "a b", ":)", "😀😀", "see you\nsoon"})
        usage.recordUsed(text);
    auto view = stats();
    save(view->grab().toImage(), QStringLiteral("statistics-all-time"));
    view->rangeButton(StatsRange::days7)->click();
    settle();
    const QImage image = view->grab().toImage();
    save(image, QStringLiteral("statistics-7-days"));
    EXPECT_EQ(image.pixelColor(2, 2).lightness() < 128, GetParam());
}

// The desktop switches to this look while the guide and the statistics window are open; the list
// holds a long text and a right-to-left one.
TEST_P(GuideRenderTest, AfterALiveSwitch) {
    DesktopAppearance::overrideDark(std::nullopt);
    const QPalette light = QApplication::palette();
    for (const char* text :
         {"🦊", "a sentence typed over and over, far longer than the column has room for",
          "שלום לכולם, תודה רבה ונתראה בפגישה מחר בבוקר עם כל הצוות", "שלום"})
        usage.recordUsed(text);
    if (!GetParam()) QApplication::setPalette(darkDesktopPalette(light));
    auto page = guide(OnboardingPage::tipps);
    auto list = stats();
    QApplication::setPalette(GetParam() ? darkDesktopPalette(light) : light);
    settle();
    ASSERT_EQ(DesktopAppearance::isDark(), GetParam());
    for (const auto& [window, name] : {std::pair<QWidget*, const char*>{page.get(), "guide-tipps-switched"},
                                       {list.get(), "statistics-switched"}}) {
        const QImage image = window->grab().toImage();
        save(image, QString::fromLatin1(name));
        EXPECT_EQ(image.pixelColor(2, 2).lightness() < 128, GetParam()) << name;
    }
    QApplication::setPalette(light);
}

INSTANTIATE_TEST_SUITE_P(LightAndDark, GuideRenderTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Dark" : "Light"; });

}  // namespace
}  // namespace mosaiko::testing

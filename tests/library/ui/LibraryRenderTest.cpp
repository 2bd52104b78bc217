// Renders the library in the states a reviewer wants to see. With MOSAIKO_RENDER_DIR set, each
// state is written there as a PNG (light and dark); without it the images are only checked.
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <cstdlib>

#include "library/ui/LibraryEntryGrid.hpp"
#include "library/ui/LibraryInspectorView.hpp"
#include "library/ui/LibraryUiFixture.hpp"
#include "library/ui/LibraryVariantStripView.hpp"
#include "picker/ui/MixedTonePopover.hpp"

namespace mosaiko::testing {
namespace {

class LibraryRenderTest : public LibraryUiFixture, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        DesktopAppearance::overrideDark(GetParam());
        // The view takes its colours when it is built.
        view = std::make_unique<LibraryView>(*model, custom);
        view->resize(1280, 780);
        view->show();
        settle();
    }

    // The window and, when shown, a popover centred above `anchor` (the offscreen screen is too
    // small to hold the window, so the popover's own position would be clamped to it).
    QImage render(QWidget* popover = nullptr, QWidget* anchor = nullptr) {
        settle();
        QImage image = view->grab().toImage();
        if (popover && popover->isVisible()) {
            QPainter painter(&image);
            const QPoint top = anchor->mapTo(view.get(), QPoint(anchor->width() / 2, 0));
            painter.drawPixmap(top - QPoint(popover->width() / 2, popover->height()), popover->grab());
        }
        return image;
    }

    void save(const QImage& image, const QString& name) {
        const char* directory = std::getenv("MOSAIKO_RENDER_DIR");
        if (!directory || !*directory) return;
        QDir().mkpath(QString::fromLocal8Bit(directory));
        const QString file = QString::fromLocal8Bit(directory) + QStringLiteral("/library-") + name +
                             (GetParam() ? QStringLiteral("-dark.png") : QStringLiteral("-light.png"));
        EXPECT_TRUE(image.save(file)) << file.toStdString();
    }

    // Colour emoji are drawn: some pixels inside `rect` are strongly coloured.
    static bool hasColourIn(const QImage& image, const QRect& rect) {
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                if (QColor(image.pixel(x, y)).hsvSaturation() > 120 && qAlpha(image.pixel(x, y)) > 200)
                    return true;
        return false;
    }

    QRect tileInView(int index) {
        const QRect cell = view->grid()->cellRect(index);
        return QRect(view->grid()->viewport()->mapTo(view.get(), cell.topLeft()), cell.size())
            .adjusted(8, 8, -8, -8);
    }
};

TEST_P(LibraryRenderTest, ACategory) {
    collections.togglePinned("thumbsup");
    model->navigate(LibraryViewModel::BrowseSection::emojiCategory("People & Body"));
    model->selectEntry("thumbsup", LibraryViewModel::SelectionOrigin::mouse);
    const QImage image = render();
    save(image, QStringLiteral("category"));
    EXPECT_TRUE(hasColourIn(image, tileInView(0)));
}

TEST_P(LibraryRenderTest, ASearchOnTheAllTab) {
    model->setSearchQuery("smile");
    save(render(), QStringLiteral("search"));
    EXPECT_NE(view->summaryLabel()->text().indexOf(QStringLiteral("matching")), -1);
}

TEST_P(LibraryRenderTest, TheGlyphsTab) {
    model->setContentFilter(LibraryViewModel::ContentFilter::glyphs);
    save(render(), QStringLiteral("glyphs"));
    EXPECT_EQ(view->grid()->style(), LibraryGridMetrics::Style::glyph);
}

TEST_P(LibraryRenderTest, TheEmoticonsTab) {
    model->setContentFilter(LibraryViewModel::ContentFilter::emoticons);
    save(render(), QStringLiteral("emoticons"));
    EXPECT_EQ(view->grid()->style(), LibraryGridMetrics::Style::wideText);
}

TEST_P(LibraryRenderTest, ThePinsTab) {
    for (const char* id : {"thumbsup", "heart", "emoticon-shrug"}) collections.togglePinned(id);
    collections.setPinnedAlias("party hat", "heart");
    model->setContentFilter(LibraryViewModel::ContentFilter::pins);
    settle();
    save(render(), QStringLiteral("pins"));
    EXPECT_FALSE(view->showsInspector());
}

TEST_P(LibraryRenderTest, TheShortcodesTabAndTheEditSheet) {
    model->setContentFilter(LibraryViewModel::ContentFilter::shortcodes);
    save(render(), QStringLiteral("shortcodes"));
    view->editSnippet(custom.snippets().front());
    settle();
    ASSERT_TRUE(view->editSheet());
    save(view->editSheet()->grab().toImage(), QStringLiteral("edit-sheet"));
}

TEST_P(LibraryRenderTest, TheMixPopover) {
    model->setSearchQuery("people holding hands");
    model->selectEntry("people_holding_hands", LibraryViewModel::SelectionOrigin::mouse);
    settle();
    auto* strip = view->inspector()->variantStrip();
    ASSERT_NE(strip->mixButton(), nullptr);
    QMouseEvent press(QEvent::MouseButtonRelease, QPointF(5, 5),
                      strip->mixButton()->mapToGlobal(QPointF(5, 5)), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(strip->mixButton(), &press);
    ASSERT_TRUE(strip->isShowingMixedTonePopover());
    save(render(strip->popover(), strip->mixButton()), QStringLiteral("mix-popover"));
}

INSTANTIATE_TEST_SUITE_P(LightAndDark, LibraryRenderTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Dark" : "Light"; });

}  // namespace
}  // namespace mosaiko::testing

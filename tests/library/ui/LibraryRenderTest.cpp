// Renders the library in the states a reviewer wants to see. With MOSAIKO_RENDER_DIR set, each
// state is written there as a PNG (light and dark); without it the images are only checked.
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <cstdlib>

#include "library/ui/LibraryEntryGrid.hpp"
#include "library/ui/LibraryHeaderLabel.hpp"
#include "library/ui/LibraryInspectorView.hpp"
#include "library/ui/LibraryPinsPane.hpp"
#include "library/ui/LibraryTextLabel.hpp"
#include "library/ui/LibraryUiFixture.hpp"
#include "library/ui/LibraryVariantStripView.hpp"
#include "library/ui/PinsManagementRow.hpp"
#include "library/ui/TokenField.hpp"
#include "picker/ui/MixedTonePopover.hpp"
#include "support/RenderForReview.hpp"
#include "support/SchemeSwitch.hpp"

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
        saveForReview(image, QStringLiteral("library-") + name, GetParam());
    }

    // The largest difference of lightness between a pixel of `area` and the pixel at `background`.
    static int contrast(const QImage& image, const QRect& area, QPoint background) {
        const int base = QColor(image.pixel(background)).lightness();
        int most = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                most = std::max(most, std::abs(QColor(image.pixel(x, y)).lightness() - base));
        return most;
    }
    static int contrast(const QImage& image) {
        return contrast(image, image.rect(), QPoint(1, image.height() / 2));
    }

    // How far apart the colours of two images of a button are, beside its title.
    static int fillDistance(const QImage& a, const QImage& b) {
        const QPoint at(6, a.height() / 2);
        const QColor x(a.pixel(at)), y(b.pixel(at));
        return std::abs(x.red() - y.red()) + std::abs(x.green() - y.green()) + std::abs(x.blue() - y.blue());
    }

    // The leftmost column of `image` that holds ink, against its top right pixel.
    static int leftmostInk(const QImage& image) {
        const int base = QColor(image.pixel(image.width() - 1, 0)).lightness();
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                if (std::abs(QColor(image.pixel(x, y)).lightness() - base) > 80) return x;
        return image.width();
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

    // The selected section's symbol shows on the row's accent fill.
    QListWidget* sidebar = view->sidebar();
    ASSERT_NE(sidebar->currentItem(), nullptr);
    const QRect row = sidebar->visualItemRect(sidebar->currentItem());
    const QImage rows = sidebar->viewport()->grab().toImage();
    EXPECT_GT(contrast(rows, QRect(row.left(), row.top(), 22, row.height()),
                       QPoint(row.right() - 4, row.center().y())),
              80);
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
    collections.togglePinned(addSnippet(
        "A snippet whose name goes on and on, longer than the column it sits in", std::string(80, 'x')));
    settle();
    save(render(), QStringLiteral("pins"));
    EXPECT_FALSE(view->showsInspector());

    // The first pin cannot move up, the second can: the disabled arrow is plainly fainter.
    const auto order = view->pinsPane()->rowOrder();
    QToolButton* disabled = view->pinsPane()->row(order[0])->moveUpButton();
    QToolButton* enabled = view->pinsPane()->row(order[1])->moveUpButton();
    ASSERT_FALSE(disabled->isEnabled());
    ASSERT_TRUE(enabled->isEnabled());
    EXPECT_LT(contrast(disabled->grab().toImage()) * 2, contrast(enabled->grab().toImage()));
}

// A long snippet name and a right-to-left one in the inspector; without a target application
// "Insert" looks disabled.
TEST_P(LibraryRenderTest, TheInspectorWithALongAndARightToLeftName) {
    model->setContentFilter(LibraryViewModel::ContentFilter::shortcodes);
    const std::string name =
        "Quarterly report boilerplate for the regional sales meeting with "
        "Supercalifragilisticexpialidociouslylongword";
    model->selectEntry(addSnippet(name, "Dear team,\nplease find the figures attached."),
                       LibraryViewModel::SelectionOrigin::mouse);
    save(render(), QStringLiteral("inspector-long-name"));
    QPushButton* insert = view->inspector()->insertButton();
    ASSERT_FALSE(insert->isEnabled());
    const QImage disabled = insert->grab().toImage();
    model->setInsertionTargetName("Editor");
    settle();
    EXPECT_GT(fillDistance(disabled, insert->grab().toImage()), 60);

    model->selectEntry(addSnippet("שלום עולם", "shalom"), LibraryViewModel::SelectionOrigin::mouse);
    save(render(), QStringLiteral("inspector-rtl-name"));
    EXPECT_LT(leftmostInk(view->inspector()->nameLabel()->grab().toImage()), 12);
}

// With a long snippet name and a right-to-left one, cut in their rows.
TEST_P(LibraryRenderTest, TheShortcodesTabAndTheEditSheet) {
    const CustomSnippet edited = custom.snippets().front();
    addSnippet(
        "Quarterly report boilerplate for the regional sales meeting, with every figure and "
        "the minutes of the last two meetings attached",
        "Dear team");
    addSnippet("שלום עולם, שלום עולם, שלום עולם, שלום עולם, שלום עולם, שלום עולם, שלום עולם, שלום עולם",
               "shalom");
    addSnippet("Grins", "😀😀 ok 👍");
    model->setContentFilter(LibraryViewModel::ContentFilter::shortcodes);
    save(render(), QStringLiteral("shortcodes"));
    model->setContentFilter(LibraryViewModel::ContentFilter::all);
    model->setSearchQuery("grins");
    settle();
    save(render(), QStringLiteral("emoji-snippet-tile"));
    ASSERT_EQ(model->visibleEntries().size(), 1u);
    const QRect tile = view->grid()->cellRect(0);
    EXPECT_TRUE(hasColourIn(view->grid()->viewport()->grab().toImage(), tile)) << "its emoji in colour";
    model->setSearchQuery("");
    view->editSnippet(edited);
    settle();
    ASSERT_TRUE(view->editSheet());
    save(view->editSheet()->grab().toImage(), QStringLiteral("edit-sheet"));

    // Without a shortcode "Save" is disabled, and looks it.
    QPushButton* saveButton = view->editSheet()->saveButton();
    const QImage enabled = saveButton->grab().toImage();
    view->editSheet()->shortcodesField()->setText(QString());
    emit view->editSheet()->shortcodesField()->textEdited(QString());
    ASSERT_FALSE(saveButton->isEnabled());
    save(view->editSheet()->grab().toImage(), QStringLiteral("edit-sheet-disabled"));
    EXPECT_GT(fillDistance(enabled, saveButton->grab().toImage()), 60);
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

// The desktop switches to this look while the window is open, on the shortcodes tab with a long and
// a right-to-left snippet, and on the pins tab.
TEST_P(LibraryRenderTest, AfterALiveSwitch) {
    DesktopAppearance::overrideDark(std::nullopt);
    const QPalette light = QApplication::palette();
    if (!GetParam()) QApplication::setPalette(darkDesktopPalette(light));
    collections.togglePinned("thumbsup");
    addSnippet(
        "Quarterly report boilerplate for the regional sales meeting, with every figure and "
        "the minutes of the last two meetings attached",
        "Dear team");
    const std::string rightToLeft = addSnippet("שלום עולם, שלום עולם, שלום עולם, שלום עולם", "שלום");
    view = std::make_unique<LibraryView>(*model, custom);
    view->resize(1280, 780);
    view->show();
    model->setContentFilter(LibraryViewModel::ContentFilter::pins);
    settle();
    model->setContentFilter(LibraryViewModel::ContentFilter::shortcodes);
    model->selectEntry(rightToLeft, LibraryViewModel::SelectionOrigin::mouse);
    settle();
    QApplication::setPalette(GetParam() ? darkDesktopPalette(light) : light);
    settle();
    ASSERT_EQ(DesktopAppearance::isDark(), GetParam());
    const QImage shortcodes = render();
    save(shortcodes, QStringLiteral("shortcodes-switched"));
    EXPECT_EQ(shortcodes.pixelColor(2, 2).lightness() < 128, GetParam());
    model->setContentFilter(LibraryViewModel::ContentFilter::pins);
    save(render(), QStringLiteral("pins-switched"));
    QApplication::setPalette(light);
}

INSTANTIATE_TEST_SUITE_P(LightAndDark, LibraryRenderTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Dark" : "Light"; });

}  // namespace
}  // namespace mosaiko::testing

// Renders the panel in the states a reviewer wants to see. With MOSAIKO_RENDER_DIR set, each state
// is written there as a PNG (light and dark); without it the images are only checked.
#include <QDir>
#include <QImage>
#include <QLayout>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cstdlib>
#include <functional>

#include "picker/ui/PickerUiFixture.hpp"
#include "platform/qt/Typography.hpp"
#include "support/RenderForReview.hpp"
#include "support/SchemeSwitch.hpp"

namespace mosaiko::testing {
namespace {

class PickerRenderTest : public PickerUiFixture, public ::testing::WithParamInterface<bool> {
  protected:
    // The panel and, when open, the matrix popover, over a plain desktop-like background.
    QImage render() {
        settle();
        QWidget& window = panel->panel();
        QWidget* popover = view().variantsRow()->popover();
        QRect area = window.geometry();
        if (popover->isVisible()) area = area.united(popover->geometry());
        area.adjust(-24, -24, 24, 24);
        QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(GetParam() ? QColor(0x40, 0x44, 0x4c) : QColor(0xc8, 0xcc, 0xd4));
        QPainter painter(&image);
        painter.drawPixmap(window.geometry().topLeft() - area.topLeft(), window.grab());
        if (popover->isVisible())
            painter.drawPixmap(popover->geometry().topLeft() - area.topLeft(), popover->grab());
        return image;
    }

    void save(const QImage& image, const QString& name) {
        saveForReview(image, QStringLiteral("picker-") + name, GetParam());
    }

    QRect cellRectInPanel(int index) {
        MainRowView* row = view().mainRow();
        const QRect cell = row->cellRect(index);
        return QRect(row->viewport()->mapTo(&panel->panel(), cell.topLeft()), cell.size())
            .adjusted(8, 8, -8, -8);
    }

    void SetUp() override { DesktopAppearance::overrideDark(GetParam()); }
};

TEST_P(PickerRenderTest, QueryWithScopeChips) {
    open("smi");
    ASSERT_FALSE(model->results().empty());
    EXPECT_FALSE(view().showsVariantsRow());
    const QImage image = render();
    save(image, QStringLiteral("query-smi"));
    const QImage panelImage = panel->panel().grab().toImage();
    EXPECT_TRUE(hasColourIn(panelImage, cellRectInPanel(0)));
}

TEST_P(PickerRenderTest, VariantsOfATwoPersonEmoji) {
    collections.togglePinned("handshake");
    open("handshake");
    ASSERT_EQ(model->activeEntry()->id, "handshake");
    model->moveVariantVertically(-1);
    model->moveVariantHorizontally(2);
    settle();
    EXPECT_TRUE(view().showsVariantsRow());
    save(render(), QStringLiteral("variants-handshake"));
    const auto& buttons = view().variantsRow()->quickButtons();
    ASSERT_EQ(buttons.size(), 6u);
    const QImage strip = buttons[3].second->grab().toImage();
    EXPECT_TRUE(hasColourIn(strip, strip.rect()));
}

TEST_P(PickerRenderTest, MixedToneMatrixOpen) {
    open("people holding hands");
    ASSERT_EQ(model->activeEntry()->id, "people_holding_hands");
    model->moveVariantVertically(-1);
    model->focusMixButton(PickerViewModel::SelectionOrigin::keyboard);
    model->activateVariantSelection(false);
    model->moveVariantHorizontally(1);
    settle();
    ASSERT_TRUE(view().variantsRow()->popover()->isVisible());
    save(render(), QStringLiteral("mixed-tone-matrix"));
    const QImage matrix = view().variantsRow()->matrix()->grab().toImage();
    EXPECT_TRUE(hasColourIn(matrix, view().variantsRow()->matrix()->cellRect(1, 3)));
}

TEST_P(PickerRenderTest, TextAndGlyphTiles) {
    collections.togglePinned("emoticon-shrug");
    open("s");
    model->setScope(PickerViewModel::Scope::all);
    model->updateQuery("smiling");
    settle();
    const QImage textTiles = render();
    save(textTiles, QStringLiteral("text-tiles"));
    // A snippet of emoji shows them in colour, as its own tiles do.
    const auto& shown = model->results();
    const auto pair = std::find_if(shown.begin(), shown.end(),
                                   [](const EmojiEntry& e) { return e.id == "snippet-smiling-pair"; });
    ASSERT_NE(pair, shown.end());
    EXPECT_TRUE(
        hasColourIn(textTiles, cellRectInPanel(static_cast<int>(pair - shown.begin())).translated(24, 24)));
    model->setScope(PickerViewModel::Scope::glyphs);
    model->updateQuery("");
    settle();
    save(render(), QStringLiteral("glyphs"));
    ASSERT_FALSE(model->results().empty());
    view().mainRow()->viewport()->repaint();
    ASSERT_FALSE(view().mainRow()->paintedCells().empty());
    EXPECT_EQ(view().mainRow()->paintedCells().front().second.emoji, "ZWSP");
}

// The desktop switches to this look while the panel shows a right-to-left snippet, then a long query.
TEST_P(PickerRenderTest, AfterALiveSwitchWithRightToLeftAndLongTexts) {
    DesktopAppearance::overrideDark(std::nullopt);
    const QPalette light = QApplication::palette();
    if (!GetParam()) QApplication::setPalette(darkDesktopPalette(light));
    open("שלום");
    QApplication::setPalette(GetParam() ? darkDesktopPalette(light) : light);
    settle();
    ASSERT_EQ(DesktopAppearance::isDark(), GetParam());
    ASSERT_EQ(model->activeEntry()->id, "snippet-hebrew-greeting");
    const QImage switched = render();
    save(switched, QStringLiteral("switched-right-to-left"));
    // The panel's background has taken the new look, beside the results.
    EXPECT_EQ(switched.pixelColor(24 + 4, 24 + panel->panel().height() / 2).lightness() < 128, GetParam());

    // The details read from the left, as the panel does: the category ends the line whatever
    // script the name is written in.
    const auto detailsEnd = [this] {
        QWidget* row = view().layout()->itemAt(view().layout()->count() - 1)->widget();
        const QImage image = row->grab().toImage();
        return image.copy(image.width() - 60, 0, 60, image.height());
    };
    const QImage rightToLeftEnd = detailsEnd();
    model->updateQuery("smiling pair");
    settle();
    ASSERT_EQ(model->activeEntry()->id, "snippet-smiling-pair");
    const QImage latinEnd = detailsEnd();
    int differing = 0;
    for (int y = 0; y < latinEnd.height(); ++y)
        for (int x = 0; x < latinEnd.width(); ++x)
            differing += std::abs(QColor(latinEnd.pixel(x, y)).lightness() -
                                  QColor(rightToLeftEnd.pixel(x, y)).lightness()) > 30;
    EXPECT_EQ(differing, 0);

    model->updateQuery("a query typed on and on, far longer than the search row has room for");
    settle();
    save(render(), QStringLiteral("switched-long-query"));
    QApplication::setPalette(light);
}

INSTANTIATE_TEST_SUITE_P(LightAndDark, PickerRenderTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Dark" : "Light"; });

// Multi-person sequences shape to one glyph only with the colour-emoji family and no fallback.
TEST(EmojiFontTest, TwoPersonSequencesShapeToOneGlyph) {
    for (const char* text :
         {"🧑🏻‍🤝‍🧑🏿", "👩🏽‍❤️‍💋‍👨🏻", "🤝🏾", "❤️"}) {
        QTextLayout layout(QString::fromUtf8(text), Typography::emoji(38));
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        int glyphs = 0;
        for (const auto& run : layout.glyphRuns()) glyphs += static_cast<int>(run.glyphIndexes().size());
        EXPECT_EQ(glyphs, 1) << text;
    }
}

}  // namespace
}  // namespace mosaiko::testing

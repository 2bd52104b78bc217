#include <QImage>

#include "picker/ui/ClickTracker.hpp"
#include "picker/ui/EmojiCell.hpp"
#include "picker/ui/MixedToneVariantMatrix.hpp"
#include "picker/ui/PickerStyle.hpp"
#include "picker/ui/PickerUiFixture.hpp"

namespace mosaiko::testing {
namespace {

using Option = EmojiEntry::Variants::Option;

// Rows (the first person's tone) and columns (the second's) go from light to dark.
constexpr SkinTone kLightToDark[] = {SkinTone::light, SkinTone::mediumLight, SkinTone::medium,
                                     SkinTone::mediumDark, SkinTone::dark};

// Untoned, five single tones and the twenty mixed pairs, as the data file has them.
EmojiEntry::Variants twoPersonVariants() {
    const auto entry = sharedTestDatabase().entryForID("people_holding_hands");
    return *entry->variants;
}

EmojiEntry::Variants singleToneVariants() {
    std::vector<Option> options = {{"👋", {}, {}}};
    const char* texts[] = {"👋🏻", "👋🏼", "👋🏽", "👋🏾", "👋🏿"};
    for (int i = 0; i < 5; ++i) options.push_back({texts[i], {kLightToDark[i]}, {}});
    return EmojiEntry::Variants(options);
}

TEST(ClickTracker, OnlyTheLeftButtonPressedAndReleasedOverOneTargetClicks) {
    struct Case {
        Qt::MouseButton pressButton;
        std::optional<int> pressedOver;
        Qt::MouseButton releaseButton;
        std::optional<int> releasedOver;
        std::optional<int> clicked;
    };
    const Case cases[] = {
        {Qt::LeftButton, 3, Qt::LeftButton, 3, 3},
        {Qt::LeftButton, 3, Qt::LeftButton, 4, std::nullopt},             // dragged to another cell
        {Qt::LeftButton, 3, Qt::LeftButton, std::nullopt, std::nullopt},  // dragged off
        {Qt::LeftButton, std::nullopt, Qt::LeftButton, 3, std::nullopt},  // pressed off a cell
        {Qt::RightButton, 3, Qt::RightButton, 3, std::nullopt},
        {Qt::LeftButton, 3, Qt::RightButton, 3, std::nullopt},
    };
    auto event = [](QEvent::Type type, Qt::MouseButton button) {
        return QMouseEvent(type, QPointF(1, 1), QPointF(1, 1), button, button, Qt::NoModifier);
    };
    for (const auto& c : cases) {
        ClickTracker clicks;
        clicks.press(event(QEvent::MouseButtonPress, c.pressButton), c.pressedOver);
        EXPECT_EQ(clicks.release(event(QEvent::MouseButtonRelease, c.releaseButton), c.releasedOver),
                  c.clicked);
        EXPECT_EQ(clicks.release(event(QEvent::MouseButtonRelease, c.releaseButton), c.releasedOver),
                  std::nullopt)
            << "a release without a press of its own";
    }
}

class MatrixTest : public ::testing::Test {
  protected:
    void SetUp() override {
        matrix.onSelect = [this](int i) { selected.push_back(i); };
        matrix.onHoverSelect = [this](int i) { hovered.push_back(i); };
    }
    void moveTo(int row, int column) {
        PickerUiFixture::hover(&matrix, matrix.cellRect(row, column).center());
    }

    MixedToneVariantMatrix matrix;
    std::vector<int> selected;
    std::vector<int> hovered;
};

TEST_F(MatrixTest, CellsHoldTheOptionOfTheirTonePair) {
    const auto variants = twoPersonVariants();
    matrix.setVariants(variants);
    EXPECT_EQ(matrix.size(), QSize(248, 228));
    for (int row = 0; row < 5; ++row) {
        for (int column = 0; column < 5; ++column) {
            const auto index = matrix.optionIndexAt(row, column);
            ASSERT_TRUE(index) << row << "," << column;
            const auto& tones = variants.options()[static_cast<std::size_t>(*index)].tones;
            if (row == column) {
                // The diagonal shows the single-tone option of its tone.
                EXPECT_EQ(tones, std::vector<SkinTone>{kLightToDark[row]});
            } else {
                EXPECT_EQ(tones, (std::vector<SkinTone>{kLightToDark[row], kLightToDark[column]}));
            }
        }
    }
    PickerUiFixture::click(&matrix, Qt::NoModifier, matrix.cellRect(2, 4).center());
    ASSERT_EQ(selected.size(), 1u);
    EXPECT_EQ(variants.options()[static_cast<std::size_t>(selected[0])].tones,
              (std::vector<SkinTone>{SkinTone::medium, SkinTone::dark}));
}

TEST_F(MatrixTest, SingleToneVariantsLeaveEmptyTilesThatDoNothing) {
    matrix.setVariants(singleToneVariants());
    EXPECT_EQ(matrix.optionIndexAt(3, 3), std::optional<int>(4));
    EXPECT_FALSE(matrix.optionIndexAt(0, 1));
    PickerUiFixture::click(&matrix, Qt::NoModifier, matrix.cellRect(0, 1).center());
    moveTo(0, 1);
    EXPECT_TRUE(selected.empty());
    EXPECT_TRUE(hovered.empty());
    EXPECT_FALSE(matrix.hoveredIndex());
}

TEST_F(MatrixTest, HoverFollowsThePointerAndReportsOnlyWhenAsked) {
    matrix.setVariants(twoPersonVariants());
    moveTo(0, 0);
    moveTo(0, 1);
    const auto first = matrix.optionIndexAt(0, 0);
    const auto second = matrix.optionIndexAt(0, 1);
    EXPECT_EQ(hovered, (std::vector<int>{*first, *second}));
    EXPECT_EQ(matrix.hoveredIndex(), second);
    // The gap between cells ends the hover; so does leaving the grid.
    PickerUiFixture::hover(&matrix, QPoint(3, 3));
    EXPECT_FALSE(matrix.hoveredIndex());
    moveTo(4, 4);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&matrix, &leave);
    EXPECT_FALSE(matrix.hoveredIndex());

    matrix.onHoverSelect = nullptr;
    moveTo(1, 1);
    EXPECT_EQ(hovered.size(), 3u);
    EXPECT_EQ(matrix.hoveredIndex(), matrix.optionIndexAt(1, 1));
}

// The pixel at `p` of a widget drawn on a transparent ground.
QColor pixelOf(QWidget& widget, QPoint p) {
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image.pixelColor(p);
}

class SelectionStyleTest : public ::testing::Test {
  protected:
    SelectionStyleTest() { DesktopAppearance::overrideAccent(QColor(255, 0, 0)); }
    ~SelectionStyleTest() override { DesktopAppearance::overrideAccent(std::nullopt); }
};

TEST_F(SelectionStyleTest, SelectedTilesAreAccentFilledWithAnAccentBorder) {
    // A tile as the main row draws it, on a transparent ground.
    auto tilePixel = [](const EmojiCell::Content& content, QPoint p) {
        QImage image(static_cast<int>(EmojiCell::widthFor(content)), static_cast<int>(EmojiCell::height),
                     QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        EmojiCell::paint(painter, QRectF(image.rect()), content);
        painter.end();
        return image.pixelColor(p);
    };
    const EmojiCell::Content selected{":)", false, false, true, true, false};
    const int width = static_cast<int>(EmojiCell::widthFor(selected));
    const int height = static_cast<int>(EmojiCell::height);
    // Inside, away from the text: accent at 0.22.
    const QColor fill = tilePixel(selected, QPoint(width - 4, height / 2));
    EXPECT_NEAR(fill.alphaF(), 0.22, 0.02);
    EXPECT_EQ(fill.red(), 255);
    EXPECT_EQ(fill.green(), 0);
    // The 1 pt border just inside the edge: accent at 0.6 over the fill.
    const QColor border = tilePixel(selected, QPoint(width / 2, 0));
    EXPECT_NEAR(border.alphaF(), 0.6 + 0.22 * 0.4, 0.06);
    EXPECT_EQ(border.green(), 0);

    const EmojiCell::Content plain{":)", false, false, false, true, false};
    EXPECT_EQ(tilePixel(plain, QPoint(width - 4, height / 2)).alpha(), 0);
    const QColor plainBorder = tilePixel(plain, QPoint(width / 2, 0));
    EXPECT_NEAR(plainBorder.alphaF(), 0.1, 0.03);
    EXPECT_EQ(plainBorder.red(), 0);

    // The matrix marks its selected cell the same way, also under the pointer.
    MixedToneVariantMatrix matrix;
    matrix.setVariants(twoPersonVariants());
    matrix.setSelectedIndex(*matrix.optionIndexAt(2, 3));
    PickerUiFixture::hover(&matrix, matrix.cellRect(2, 3).center());
    const QPoint corner = matrix.cellRect(2, 3).topLeft() + QPoint(20, 0);
    EXPECT_EQ(pixelOf(matrix, matrix.cellRect(2, 3).topLeft() + QPoint(3, 18)).red(), 255);
    EXPECT_NEAR(pixelOf(matrix, corner).alphaF(), 0.6 + 0.22 * 0.4, 0.06);
    // Out of range selects nothing.
    matrix.setSelectedIndex(-1);
    EXPECT_NEAR(pixelOf(matrix, corner).alphaF(), 0.3 + 0.12 * 0.7, 0.06);  // hovered, not selected
}

// Tiles are copied from images of their looks: a change of appearance is a new look, not the old
// image again.
TEST(EmojiCellTest, TileImagesFollowTheAppearance) {
    const EmojiCell::Content text{"ABC", false, false, false, true, false};
    auto inkLightness = [&text](bool dark) {
        DesktopAppearance::overrideDark(dark);
        QImage image(static_cast<int>(EmojiCell::widthFor(text)), static_cast<int>(EmojiCell::height),
                     QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        EmojiCell::paint(painter, QRectF(image.rect()), text);
        painter.end();
        DesktopAppearance::overrideDark(std::nullopt);
        // The most opaque pixel inside the border is the letters' ink.
        QColor ink(Qt::transparent);
        for (int y = 4; y < image.height() - 4; ++y)
            for (int x = 4; x < image.width() - 4; ++x)
                if (image.pixelColor(x, y).alpha() > ink.alpha()) ink = image.pixelColor(x, y);
        return ink.lightness();
    };
    EXPECT_LT(inkLightness(false), 100);
    EXPECT_GT(inkLightness(true), 150);
    EXPECT_LT(inkLightness(false), 100);
}

}  // namespace
}  // namespace mosaiko::testing

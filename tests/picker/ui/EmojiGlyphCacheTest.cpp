#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include "picker/ui/EmojiGlyphCache.hpp"
#include "picker/ui/PickerStyle.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko::testing {
namespace {

using Fitting = EmojiGlyphCache::Fitting;

struct Drawn {
    QRect ink;      // device pixels with any paint
    QColor colour;  // of the ink's most opaque pixel
    long imagesDrawn = 0;
};

// Draws `text` into a 120 x 60 box at `scale` twice, as two redraws of a view would.
Drawn draw(const QString& text, const QFont& font, double scale, const QColor& colour,
           const Fitting& fitting = {}, QRectF box = QRectF(20, 10, 120, 60)) {
    QImage image(QSize(160, 80) * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    const long before = EmojiGlyphCache::imagesDrawn();
    QPainter painter(&image);
    EmojiGlyphCache::draw(painter, box, text, font, colour, fitting);
    EmojiGlyphCache::draw(painter, box, text, font, colour, fitting);
    painter.end();
    Drawn drawn{{}, {}, EmojiGlyphCache::imagesDrawn() - before};
    int alpha = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() == 0) continue;
            drawn.ink |= QRect(x, y, 1, 1);
            if (pixel.alpha() > alpha) alpha = pixel.alpha(), drawn.colour = pixel;
        }
    }
    return drawn;
}

TEST(EmojiGlyphCacheTest, OneImagePerTextSizeScaleAndColour) {
    const QString emoji = QStringLiteral("🦒");
    const Drawn small = draw(emoji, Typography::emoji(22), 1, Qt::black);
    const Drawn large = draw(emoji, Typography::emoji(38), 1, Qt::black);
    const Drawn sharp = draw(emoji, Typography::emoji(22), 2, Qt::black);
    const QString text = QStringLiteral("A:-)");
    const Drawn red = draw(text, Typography::monospaced(18), 1, QColor(250, 0, 0));
    const Drawn blue = draw(text, Typography::monospaced(18), 1, QColor(0, 0, 250));
    for (const Drawn* d : {&small, &large, &sharp, &red, &blue}) {
        EXPECT_EQ(d->imagesDrawn, 1) << "a text is drawn once, then copied";
        EXPECT_FALSE(d->ink.isEmpty());
    }
    // Neither a larger font nor a sharper screen is served the image of another.
    EXPECT_NEAR(double(large.ink.width()) / small.ink.width(), 38.0 / 22, 0.25);
    EXPECT_NEAR(double(sharp.ink.width()) / small.ink.width(), 2.0, 0.25);
    EXPECT_GT(red.colour.red(), 200);
    EXPECT_LT(red.colour.blue(), 50);
    EXPECT_GT(blue.colour.blue(), 200);
    EXPECT_LT(blue.colour.red(), 50);
    // The measured width is the width the text is laid out with.
    EXPECT_NEAR(EmojiGlyphCache::width(text, Typography::monospaced(18)), red.ink.width(), 4);
}

TEST(EmojiGlyphCacheTest, TextIsPlacedInItsBoxAndNeverPaintsOutsideIt) {
    const QFont font = Typography::monospaced(18);
    const QRectF box(20, 10, 120, 60);
    const Drawn leading = draw(QStringLiteral("ab"), font, 1, Qt::black, {1.0, false, Qt::AlignLeft}, box);
    const Drawn centred = draw(QStringLiteral("ab"), font, 1, Qt::black, {1.0, false, Qt::AlignHCenter}, box);
    EXPECT_NEAR(leading.ink.left(), box.left(), 3);
    EXPECT_NEAR(centred.ink.center().x(), box.center().x(), 3);
    EXPECT_NEAR(centred.ink.center().y(), box.center().y(), 6);

    // Too wide even at its smallest size: clipped to the box, or cut with an ellipsis.
    const QString wide(60, QLatin1Char('w'));
    const QRectF narrow(20, 10, 60, 60);
    for (const bool elide : {false, true}) {
        const Drawn fitted = draw(wide, font, 1, Qt::black, {0.5, elide, Qt::AlignLeft}, narrow);
        EXPECT_TRUE(narrow.toAlignedRect().contains(fitted.ink)) << "elide " << elide;
    }
}

// Outlines are copied from images too: a tall one in parts, which must join into one outline with
// its four rounded corners, on any screen scale.
TEST(PickerTileTest, ATallCopiedOutlineIsWholeAtEveryScale) {
    for (const double scale : {1.0, 2.0}) {
        QImage image(QSize(100, 180) * scale, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        const QRectF tile(10, 10, 80, 160);
        PickerStyle::paintTile(painter, tile, 16, QColor(200, 0, 0, 250), Qt::black);
        painter.end();
        auto at = [&](double x, double y) {
            return image.pixelColor(QPointF(x * scale, y * scale).toPoint());
        };
        for (const QPointF corner :
             {tile.topLeft(), tile.topRight(), tile.bottomLeft(), tile.bottomRight()}) {
            const QPointF inward((corner.x() < 50 ? 1 : -1), (corner.y() < 90 ? 1 : -1));
            EXPECT_EQ(at(corner.x() + inward.x(), corner.y() + inward.y()).alpha(), 0) << "scale " << scale;
        }
        // The left edge runs the same from below the top corner to above the bottom one; the inside
        // is filled throughout.
        const int edge = static_cast<int>(tile.left() * scale);
        for (int y = static_cast<int>(30 * scale); y < static_cast<int>(150 * scale); ++y) {
            ASSERT_EQ(image.pixelColor(edge, y), image.pixelColor(edge, static_cast<int>(30 * scale)))
                << "row " << y << ", scale " << scale;
            ASSERT_EQ(image.pixelColor(static_cast<int>(50 * scale), y).red(), 200) << "row " << y;
        }
        EXPECT_GT(at(50, tile.bottom() - 1).alpha(), 200) << "the bottom edge, scale " << scale;
    }
}

// A panel-sized outline is kept as its corners and a stretch of middle: copied out, it must be the
// outline a whole image would give, pixel for pixel, at any scale and offset.
TEST(PickerTileTest, AWideOutlineCopiedFromItsCornersIsTheWholeOutline) {
    for (const double scale : {1.0, 1.5, 2.0}) {
        const QRectF tile(2, 4, 640, 210);
        auto canvas = [&] {
            QImage image(QSize(650, 220) * scale, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(scale);
            image.fill(Qt::transparent);
            return image;
        };
        QImage copied = canvas();
        {
            QPainter painter(&copied);
            PickerStyle::paintTile(painter, tile, 14, QColor(240, 240, 240, 245), QColor(0, 0, 0, 30));
        }
        QImage whole = canvas();
        {
            QPainter painter(&whole);
            painter.setRenderHint(QPainter::Antialiasing);
            QPainterPath path;
            path.addRoundedRect(tile, 14, 14);
            painter.fillPath(path, QColor(240, 240, 240, 245));
            painter.setPen(QPen(QColor(0, 0, 0, 30), 1.0));
            painter.drawRoundedRect(tile.adjusted(0.5, 0.5, -0.5, -0.5), 13.5, 13.5);
        }
        EXPECT_EQ(copied, whole) << "scale " << scale;
    }
}

}  // namespace
}  // namespace mosaiko::testing

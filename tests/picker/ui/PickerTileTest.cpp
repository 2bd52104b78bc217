#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include "picker/ui/PickerStyle.hpp"

namespace mosaiko::testing {
namespace {

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

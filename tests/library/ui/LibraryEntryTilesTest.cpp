#include "library/ui/LibraryEntryTiles.hpp"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "platform/qt/SymbolImage.hpp"
#include "support/SchemeSwitch.hpp"

namespace mosaiko::testing {
namespace {

// A tile drawn as an opaque copy on the colour it lies on looks as the tile drawn over that colour,
// in every style, at rest or selected, pinned, at one and two device pixels per point; hovered it
// covers nothing of its own, nor where its copy would be resampled.
TEST(LibraryEntryTilesTest, AnOpaqueTileLooksAsTheTileDrawnOverItsBackground) {
    SymbolImage::setResourceDirectory(QStringLiteral(MOSAIKO_SOURCE_DIR "/resources"));
    const QColor background(0xec, 0xec, 0xec);
    const QRectF cell(3, 5, 62, 62);
    const auto draw = [&](const auto& tile, double scale, QPointF offset = {}) {
        QImage image((QSizeF(70, 72) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(background);
        QPainter painter(&image);
        painter.translate(offset);
        const QRectF covered = tile.opaqueArea(painter, cell);
        tile.paint(painter, cell);
        return std::pair{image, covered};
    };
    for (const double scale : {1.0, 2.0}) {
        for (const bool selected : {false, true}) {
            const auto check = [&](auto tile, const char* style) {
                const auto [plain, none] = draw(tile, scale);
                tile.background = background;
                const auto [opaque, covered] = draw(tile, scale);
                EXPECT_EQ(pixelDifference(plain, opaque).pixels, 0) << style << " at " << scale;
                EXPECT_TRUE(none.isEmpty()) << style;
                EXPECT_EQ(covered.topLeft(), cell.topLeft()) << style;
                EXPECT_EQ(covered.width(), cell.width()) << style;
                EXPECT_TRUE(draw(tile, scale, QPointF(0.25, 0)).second.isEmpty()) << style;
                tile.isHovered = true;
                EXPECT_TRUE(draw(tile, scale).second.isEmpty()) << style;
            };
            check(LibraryCompactEntryTile{QStringLiteral("👍"), true, false, true, 62, selected, false, {}},
                  "compact");
            check(LibraryWideTextTile{QStringLiteral("¯\\_(ツ)_/¯"), true, selected, false, {}}, "wide");
            check(LibraryGlyphTile{QStringLiteral("→"), false, 62, selected, false, {}}, "glyph");
        }
    }
    SymbolImage::setResourceDirectory({});
}

}  // namespace
}  // namespace mosaiko::testing

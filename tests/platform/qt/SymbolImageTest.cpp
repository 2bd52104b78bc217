#include "platform/qt/SymbolImage.hpp"

#include <gtest/gtest.h>

#include <QImage>

namespace mosaiko {
namespace {

class SymbolImageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SymbolImage::setResourceDirectory(QStringLiteral(MOSAIKO_SOURCE_DIR "/resources"));
    }
    void TearDown() override { SymbolImage::setResourceDirectory({}); }
};

TEST_F(SymbolImageTest, DrawsTheIconInTheWantedColourAndSize) {
    for (const char* name : {"square.grid.2x2", "gearshape.fill", "xmark", "pin.fill"}) {
        const QPixmap image = SymbolImage::pixmap(QString::fromLatin1(name), QColor(0, 128, 255), 13, 2.0);
        ASSERT_FALSE(image.isNull()) << name;
        EXPECT_EQ(image.size(), QSize(26, 26)) << name;
        EXPECT_DOUBLE_EQ(image.devicePixelRatio(), 2.0);
        const QImage pixels = image.toImage().convertToFormat(QImage::Format_ARGB32);
        int inked = 0;
        for (int y = 0; y < pixels.height(); ++y)
            for (int x = 0; x < pixels.width(); ++x) {
                const QColor c = pixels.pixelColor(x, y);
                if (c.alpha() < 250) continue;
                ++inked;
                EXPECT_EQ(c.rgb(), QColor(0, 128, 255).rgb()) << name;
            }
        EXPECT_GT(inked, 4) << name;
    }
}

TEST_F(SymbolImageTest, SizesOfTheSamePixelCountKeepTheirOwnScale) {
    const QPixmap sharp = SymbolImage::pixmap(QStringLiteral("xmark"), Qt::black, 13, 2.0);
    const QPixmap large = SymbolImage::pixmap(QStringLiteral("xmark"), Qt::black, 26, 1.0);
    EXPECT_DOUBLE_EQ(sharp.devicePixelRatio(), 2.0);
    EXPECT_DOUBLE_EQ(large.devicePixelRatio(), 1.0);
    EXPECT_EQ(large.deviceIndependentSize(), QSizeF(26, 26));
}

TEST_F(SymbolImageTest, MissingOrUnsafeNamesGiveNoImage) {
    EXPECT_TRUE(SymbolImage::exists(QStringLiteral("xmark")));
    EXPECT_FALSE(SymbolImage::exists(QStringLiteral("no.such.symbol")));
    EXPECT_TRUE(SymbolImage::pixmap(QStringLiteral("no.such.symbol"), Qt::black, 13).isNull());
    EXPECT_TRUE(SymbolImage::pixmap(QStringLiteral("../icons/xmark"), Qt::black, 13).isNull());
    EXPECT_TRUE(SymbolImage::pixmap(QStringLiteral("xmark"), Qt::black, 0).isNull());
    // A folder without icons is passed over.
    SymbolImage::setResourceDirectory(QStringLiteral("/nonexistent"));
    EXPECT_NE(SymbolImage::resourceDirectory(), QStringLiteral("/nonexistent"));
}

}  // namespace
}  // namespace mosaiko

#include <gtest/gtest.h>

#include <QRawFont>

#include "platform/qt/ColourBitmapDecoder.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko::testing {
namespace {

QRawFont emojiFont(int pixels) {
    return QRawFont::fromFont(Typography::emoji(pixels));
}

TEST(ColourBitmapDecoderTest, EveryGlyphIsTheFontEnginesImagePixelForPixel) {
    const auto decoder = ColourBitmapDecoder::open(emojiFont(26));
    ASSERT_TRUE(decoder) << "the installed colour emoji font is read";
    for (const int pixels : {26, 37, 64}) {
        const QRawFont raw = emojiFont(pixels);
        int decoded = 0, glyphs = 0;
        for (quint32 glyph = 0; glyph < 65536; ++glyph) {
            QSize size;
            if (decoder->png(glyph, &size).isEmpty()) continue;
            ++glyphs;
            const QImage image = decoder->image(raw, glyph);
            if (image.isNull()) continue;
            ++decoded;
            ASSERT_EQ(image, raw.alphaMapForGlyph(glyph)) << "glyph " << glyph << " at " << pixels << " px";
        }
        EXPECT_GT(glyphs, 3000);
        EXPECT_EQ(decoded, glyphs) << "every bitmap of the font is decoded";
    }
    // Bold and slanted, the engine may change the bitmaps: those are its own, or the same.
    for (const bool bold : {false, true}) {
        QFont font = Typography::emoji(30);
        font.setBold(bold);
        font.setItalic(!bold);
        const QRawFont raw = QRawFont::fromFont(font);
        for (quint32 glyph = 1; glyph < 40; ++glyph) {
            const QImage image = decoder->image(raw, glyph);
            EXPECT_TRUE(image.isNull() || image == raw.alphaMapForGlyph(glyph)) << glyph;
        }
    }
}

TEST(ColourBitmapDecoderTest, DamagedImagesAreRefused) {
    const auto decoder = ColourBitmapDecoder::open(emojiFont(26));
    ASSERT_TRUE(decoder);
    QSize size;
    const QByteArray png = decoder->png(decoder->png(1, &size).isEmpty() ? 4 : 1, &size);
    ASSERT_FALSE(png.isEmpty());
    ASSERT_FALSE(ColourBitmapDecoder::decode(png, size).isNull());
    const auto changed = [&](int at, char byte) {
        QByteArray copy = png;
        copy[at] = byte;
        return copy;
    };
    const struct {
        const char* what;
        QByteArray png;
        QSize size;
    } cases[] = {
        {"cut short", png.left(png.size() / 2), size},
        {"without its end", png.chopped(12), size},
        {"a changed byte", changed(png.size() / 2, char(png[png.size() / 2] ^ 1)), size},
        {"another size", png, size + QSize(1, 0)},
        {"no signature", png.mid(8), size},
        {"empty", QByteArray(), size},
    };
    for (const auto& c : cases) EXPECT_TRUE(ColourBitmapDecoder::decode(c.png, c.size).isNull()) << c.what;
}

}  // namespace
}  // namespace mosaiko::testing

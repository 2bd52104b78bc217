#include <gtest/gtest.h>

#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>
#include <fstream>
#include <sstream>

#include "content/EmojiEntry.hpp"
#include "platform/Json.hpp"
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

// The shipped emoji of more than one code point (besides the variation selector): sequences with
// tones, joiners, flags, keycaps, tags.
QStringList shippedSequences() {
    std::ifstream stream(MOSAIKO_SOURCE_DIR "/resources/emojis.json", std::ios::binary);
    std::stringstream buffer;
    buffer << stream.rdbuf();
    const auto file = json::parse(buffer.str());
    QStringList sequences;
    if (!file || !file->contains("emojis")) return sequences;
    for (const auto& j : (*file)["emojis"]) {
        const EmojiEntry entry = EmojiEntry::fromJson(j);
        std::vector<std::string> texts{entry.emoji};
        if (entry.variants)
            for (const auto& option : entry.variants->options()) texts.push_back(option.emoji);
        for (const auto& text : texts) {
            QList<uint> scalars = QString::fromStdString(text).toUcs4();
            scalars.removeAll(0xFE0F);
            if (scalars.size() > 1) sequences << QString::fromStdString(text);
        }
    }
    return sequences;
}

// The glyphs the font engine shapes a text into, those that draw nothing left out.
QList<quint32> shapedByTheEngine(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QList<quint32> glyphs;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        for (const quint32 glyph : run.glyphIndexes()) {
            if (!run.rawFont().alphaMapForGlyph(glyph).isNull()) glyphs << glyph;
        }
    }
    return glyphs;
}

TEST(ColourBitmapDecoderTest, ASequenceIsTheOneGlyphTheEngineShapesItInto) {
    const QFont font = Typography::emoji(26);
    const QRawFont raw = QRawFont::fromFont(font);
    const auto decoder = ColourBitmapDecoder::open(raw);
    ASSERT_TRUE(decoder);
    const QStringList sequences = shippedSequences();
    ASSERT_GT(sequences.size(), 2000);
    int found = 0;
    for (const QString& text : sequences) {
        const quint32 glyph = decoder->glyphOf(raw, text);
        if (glyph == 0) continue;
        ++found;
        ASSERT_EQ(shapedByTheEngine(text, font), QList<quint32>{glyph}) << text.toStdString();
    }
    EXPECT_GT(found, sequences.size() * 95 / 100) << "of " << sequences.size();

    const QRawFont other = QRawFont::fromFont(Typography::monospaced(26));
    const struct {
        const char* what;
        QString text;
        const QRawFont& font;
    } none[] = {
        {"two emoji", QStringLiteral("😀😀"), raw},
        {"a tone apart from its emoji", QStringLiteral("👍 🏽"), raw},
        {"a letter the font lacks", QStringLiteral("a"), raw},
        {"a joiner alone", QStringLiteral("\u200D"), raw},
        {"nothing", QString(), raw},
        {"another font", QStringLiteral("👍🏽"), other},
    };
    for (const auto& c : none) EXPECT_EQ(decoder->glyphOf(c.font, c.text), 0u) << c.what;
}

}  // namespace
}  // namespace mosaiko::testing

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include "platform/qt/EmojiGlyphCache.hpp"
#include "platform/qt/Typography.hpp"
#include "support/XSession.hpp"

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

// Texts of several lines break between words, and shrink before a word is split; one line is the
// text as it is, its line breaks as spaces.
TEST(EmojiGlyphCacheTest, LinesBreakBetweenWordsAndShrinkBeforeAWordIsSplit) {
    const QSizeF tile(56, 56);  // a library tile's text box
    const Fitting threeLines{0.44, true, Qt::AlignHCenter, 3};
    struct Row {
        const char* text;
        Fitting fitting;
        QStringList lines;
        bool shrunk;
    };
    const std::vector<Row> rows = {
        {"Cheers, QA", threeLines, {"Cheers,", "QA"}, true},
        {"ok", threeLines, {"ok"}, false},
        {"ab cd", threeLines, {"ab cd"}, false},
        {"line\nbreak", threeLines, {"line", "break"}, false},
        {"see you\nsoon", {1.0, true, Qt::AlignLeft, 1}, {"see you soon"}, false},
    };
    const QFont font = Typography::monospaced(15);
    for (const Row& row : rows) {
        const auto fitted =
            EmojiGlyphCache::fit(QString::fromUtf8(row.text), font,
                                 row.fitting.maxLines > 1 ? tile : QSizeF(400, 20), row.fitting);
        EXPECT_EQ(fitted.lines, row.lines) << row.text;
        EXPECT_EQ(fitted.font.pixelSize() < 15, row.shrunk) << row.text << " at " << fitted.font.pixelSize();
    }

    // A word too long for the box even at the smallest size is split, and what is left over cut.
    const QString word = QStringLiteral("Supercalifragilisticexpialidocious");
    const auto split = EmojiGlyphCache::fit(word + QStringLiteral(" again"), font, tile, threeLines);
    EXPECT_EQ(split.font.pixelSize(), 7);
    ASSERT_EQ(split.lines.size(), 3);
    EXPECT_TRUE(word.startsWith(split.lines[0] + split.lines[1]));
    EXPECT_TRUE(split.lines[2].endsWith(QChar(0x2026)));
}

// Two emoji in a frame narrower than they are: both shown, smaller, rather than the middle of the
// pair.
TEST(EmojiGlyphCacheTest, TwoEmojiShrinkWholeIntoANarrowFrame) {
    if (QFontInfo(Typography::emoji(28)).family() != Typography::emojiFamily)
        GTEST_SKIP() << "no colour-emoji font installed";
    const QRectF frame(20, 10, 36, 36);
    const Fitting fitting{0.4, false, Qt::AlignHCenter, 1};
    const Drawn one = draw(QStringLiteral("😀"), Typography::emoji(28), 1, Qt::black, fitting, frame);
    const Drawn two = draw(QStringLiteral("😀😀"), Typography::emoji(28), 1, Qt::black, fitting, frame);
    EXPECT_TRUE(frame.toAlignedRect().contains(two.ink));
    EXPECT_LT(two.ink.height(), one.ink.height() * 0.7) << "shrunk, not cut";
    EXPECT_GT(two.ink.width(), two.ink.height() * 1.6) << "both of them";
}

// How many pixels of `text` drawn in a 160 x 40 box in `font` are clearly coloured (the colour
// emoji are; text in black is not).
int colouredPixels(const QString& text, const QFont& font, const Fitting& fitting = {}) {
    QImage image(QSize(180, 60), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    EmojiGlyphCache::draw(painter, QRectF(10, 10, 160, 40), text, font, Qt::black, fitting);
    painter.end();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y).hsvSaturation() > 120;
    return count;
}

// The emoji of a text in an ordinary font are drawn by the colour font, sequences whole, also cut
// short, wrapped or measured; the rest stays in the text's font.
TEST(EmojiGlyphCacheTest, EmojiInsideTextAreDrawnInColourAndWhole) {
    if (QFontInfo(Typography::emoji(28)).family() != Typography::emojiFamily)
        GTEST_SKIP() << "no colour-emoji font installed";
    const QFont mono = Typography::monospaced(15);
    const Fitting cut{1.0, true, Qt::AlignLeft, 1};
    const Fitting lines{0.44, true, Qt::AlignHCenter, 3};
    for (const Fitting& fitting : {Fitting{}, cut, lines}) {
        for (const char* text : {"😀😀", "Thanks 👍", "ok ❤️ 🏳️‍🌈"})
            EXPECT_GT(colouredPixels(QString::fromUtf8(text), mono, fitting), 20) << text;
        EXPECT_EQ(colouredPixels(QStringLiteral("☺ © → :-)"), mono, fitting), 0);
    }
    for (const Fitting& fitting : {cut, lines})
        EXPECT_GT(colouredPixels(QString::fromUtf8("flag 🏳️‍🌈 and more text, wrapped or cut"), mono,
                                 fitting),
                  20);
    const auto width = [&](const char* text) {
        return EmojiGlyphCache::width(QString::fromUtf8(text), mono);
    };
    EXPECT_NEAR(width("x👨‍👩‍👧"), width("x😀"), 1.0) << "one glyph for the family";
    EXPECT_NEAR(width("x🏳️‍🌈"), width("x😀"), 1.0) << "one glyph for the flag";
    EXPECT_NEAR(width("x👍🏽"), width("x😀"), 1.0) << "one glyph for the toned hand";
    const Drawn elided =
        draw(QString::fromUtf8("👍👍👍👍👍👍👍👍👍👍 done"), mono, 1, Qt::black, cut, QRectF(20, 10, 60, 30));
    EXPECT_TRUE(QRect(20, 10, 60, 30).contains(elided.ink)) << "cut with an ellipsis within its box";
}

// Where `image` has ink.
QRect inkOf(const QImage& image) {
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0) ink |= QRect(x, y, 1, 1);
    return ink;
}

// A colour emoji looks as text drawing draws it, whole and at the height of its line, at every
// size: single code points, flags, keycaps and sequences, at one and two device pixels per point.
TEST(EmojiGlyphCacheTest, ColourEmojiLookAsTextDrawingDrawsThem) {
    if (QFontInfo(Typography::emoji(28)).family() != Typography::emojiFamily)
        GTEST_SKIP() << "no colour-emoji font installed";
    for (const double scale : {1.0, 2.0}) {
        for (const int pixels : {9, 20, 37, 64}) {
            for (const char* text : {"😀", "❤️", "🇫🇷", "#️⃣", "🧑‍💻", "👍🏽"}) {
                const QFont font = Typography::emoji(pixels);
                const auto canvas = [&] {
                    QImage image(QSize(160, 120) * scale, QImage::Format_ARGB32_Premultiplied);
                    image.setDevicePixelRatio(scale);
                    image.fill(Qt::transparent);
                    return image;
                };
                QImage cached = canvas(), drawn = canvas();
                {
                    QPainter painter(&cached);
                    EmojiGlyphCache::draw(painter, QRectF(10, 10, 140, 100), QString::fromUtf8(text), font,
                                          Qt::black, {});
                }
                {
                    // On the line the cache centres in the box.
                    const QFontMetricsF metrics(font);
                    QPainter painter(&drawn);
                    painter.setRenderHint(QPainter::TextAntialiasing);
                    painter.setFont(font);
                    painter.drawText(QPointF(10, 60 - metrics.height() / 2 + metrics.ascent()),
                                     QString::fromUtf8(text));
                }
                const QRect ink = inkOf(cached);
                EXPECT_EQ(cached.copy(ink), drawn.copy(inkOf(drawn)))
                    << text << " at " << pixels << " px, scale " << scale;
                EXPECT_LE(std::abs(ink.top() - inkOf(drawn).top()), 1)
                    << text << " at " << pixels << " px, scale " << scale;
            }
        }
    }
}

// Texts drawn ahead on the drawing threads, colour emoji and others mixed, are what the next
// drawings show: each drawn once, in its own place.
TEST(EmojiGlyphCacheTest, TextsDrawnAheadAreDrawnOnceAndShownWhereAsked) {
    const QFont font = Typography::monospaced(18);
    const QStringList texts{QStringLiteral("ahead 1"), QStringLiteral("ahead 2"), QStringLiteral("ahead 3")};
    std::vector<EmojiGlyphCache::Request> requests;
    for (const QString& emoji : {QStringLiteral("🦖"), QStringLiteral("🇹🇬"), QStringLiteral("🧑‍🏫")})
        requests.push_back({emoji, Typography::emoji(28), Qt::black, QSizeF(60, 60), {}});
    for (const QString& text : texts) requests.push_back({text, font, Qt::black, QSizeF(120, 60), {}});
    const long before = EmojiGlyphCache::imagesDrawn();
    EmojiGlyphCache::prefetch(requests, 1);
    QRect previous;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const auto& r = requests[i];
        const Drawn drawn = draw(r.text, r.font, 1, Qt::black, {}, QRectF(QPointF(20, 10), r.box));
        EXPECT_FALSE(drawn.ink.isEmpty()) << r.text.toStdString();
        // The first drawing waits for the others; then each is there.
        if (i > 0) {
            EXPECT_EQ(drawn.imagesDrawn, 0) << r.text.toStdString();
        }
        if (r.font == font && !previous.isEmpty()) {
            EXPECT_EQ(drawn.ink.left(), previous.left()) << "same box, same place";
        }
        if (r.font == font) previous = drawn.ink;
    }
    EXPECT_EQ(EmojiGlyphCache::imagesDrawn() - before, 6) << "each drawn once, ahead";
}

// A screen's texts looked up ahead: prefetch hands back those kept already, complete() the rest,
// each drawn once, and a prepared image draws as the text drawn by name does; an empty text has none.
TEST(EmojiGlyphCacheTest, ImagesHandedBackAheadDrawAsTheTextsDo) {
    const QFont font = Typography::monospaced(18);
    const std::vector<EmojiGlyphCache::Request> requests{
        {QStringLiteral("kept before"), font, Qt::black, QSizeF(140, 40), {}},
        {QStringLiteral("new here"), font, Qt::black, QSizeF(140, 40), {}},
        {QString(), font, Qt::black, QSizeF(140, 40), {}}};
    draw(requests[0].text, font, 1, Qt::black, {}, QRectF(QPointF(20, 10), requests[0].box));
    const long before = EmojiGlyphCache::imagesDrawn();
    auto images = EmojiGlyphCache::prefetch(requests, 1);
    ASSERT_EQ(images.size(), requests.size());
    EXPECT_FALSE(images[0].image.isNull());
    EXPECT_TRUE(images[1].image.isNull()) << "being drawn";
    EmojiGlyphCache::complete(requests, images, 1);
    EXPECT_FALSE(images[1].image.isNull());
    EXPECT_TRUE(images[2].image.isNull());
    EXPECT_EQ(EmojiGlyphCache::imagesDrawn() - before, 1);
    for (std::size_t i = 0; i < 2; ++i) {
        const QRectF box(QPointF(20, 10), requests[i].box);
        QImage byName(160, 60, QImage::Format_ARGB32_Premultiplied), prepared = byName;
        byName.fill(Qt::white);
        prepared.fill(Qt::white);
        QPainter one(&byName), other(&prepared);
        EmojiGlyphCache::draw(one, box, requests[i].text, font, Qt::black, {});
        EmojiGlyphCache::draw(other, box, images[i], {});
        one.end();
        other.end();
        EXPECT_EQ(byName, prepared) << i;
    }
}

// Colour emoji drawn ahead reach the file kept for later runs: the screen that shows them reads
// them back, and drawing ahead again draws none. Other texts are left to the screen.
TEST(EmojiGlyphCacheTest, EmojiDrawnAheadAreReadBackNotDrawnAgain) {
    if (QFontInfo(Typography::emoji(23)).family() != Typography::emojiFamily)
        GTEST_SKIP() << "no colour-emoji font installed";
    std::vector<EmojiGlyphCache::Request> requests;
    for (const char* emoji : {"🦩", "🇯🇵", "🧑🏾‍🚀", "🫖"})
        requests.push_back(
            {QString::fromUtf8(emoji), Typography::emoji(23), Qt::black, QSizeF(40, 30), {0.25}});
    requests.push_back({QStringLiteral("ahead"), Typography::monospaced(15), Qt::black, QSizeF(60, 30), {}});
    const long before = EmojiGlyphCache::emojiDrawn();
    for (const long drawn : {4, 4}) {
        EmojiGlyphCache::drawAhead(requests, 1);
        ASSERT_TRUE(waitUntil([] { return !EmojiGlyphCache::drawingAhead(); }));
        EXPECT_EQ(EmojiGlyphCache::emojiDrawn() - before, drawn);
    }
    std::vector<EmojiGlyphCache::Image> images;
    EmojiGlyphCache::complete(requests, images, 1);
    for (const auto& image : images) EXPECT_FALSE(image.image.isNull());
    EXPECT_EQ(EmojiGlyphCache::emojiDrawn() - before, 4) << "drawn again for the screen";
}

}  // namespace
}  // namespace mosaiko::testing

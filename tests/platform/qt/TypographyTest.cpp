#include "platform/qt/Typography.hpp"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>

namespace mosaiko {
namespace {

bool drawnAsEmoji(const char* text) {
    return QFontInfo(Typography::emojiOrSystem(QString::fromUtf8(text), 38)).family() ==
           Typography::emojiFamily;
}

TEST(TypographyTest, EmojiTextKeepsTheColourFontAndOtherTextTheOrdinaryOne) {
    if (QFontInfo(Typography::emoji(38)).family() != Typography::emojiFamily)
        GTEST_SKIP() << "no colour-emoji font installed";
    // Sequences with joiners, tones, tags and U+FE0F, which the font shapes as one glyph.
    for (const char* text : {"😀", "👍🏿", "🧑🏻‍🤝‍🧑🏿", "❤️", "#️⃣", "🇩🇪",
                             "🏴󠁧󠁢󠁥󠁮󠁧󠁿"})
        EXPECT_TRUE(drawnAsEmoji(text)) << text;
    // Text the font lacks, as a recently inserted emoticon or snippet may be.
    for (const char* text : {":-)", "¯\\_(ツ)_/¯", "→", "Thanks 👍"}) EXPECT_FALSE(drawnAsEmoji(text)) << text;
    EXPECT_EQ(Typography::emojiOrSystem(QStringLiteral(":-)"), 38).pixelSize(), 38);
}

// The fonts each run of `text` is drawn in.
QStringList fontsOf(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QStringList families;
    for (const QGlyphRun& run : layout.glyphRuns()) families << run.rawFont().familyName();
    return families;
}

// Hebrew and Arabic in monospaced text (a trigger, a shortcode) are drawn as in the rest of the
// windows, not in whichever thin typewriter face has them.
TEST(TypographyTest, ScriptsTheMonospacedFontLacksComeFromTheInterfaceFont) {
    int checked = 0;
    for (const QString& text :
         {QStringLiteral("\u05E9\u05DC\u05D5\u05DD"), QStringLiteral("\u0633\u0644\u0627\u0645")}) {
        if (QRawFont::fromFont(Typography::monospaced(12)).supportsCharacter(text.front())) continue;
        ++checked;
        const QStringList interface = fontsOf(text, Typography::system(12));
        for (const QFont& font : {Typography::monospaced(12), Typography::monospaced(12, QFont::DemiBold)})
            EXPECT_EQ(fontsOf(text, font), interface) << text.toStdString();
    }
    EXPECT_GT(checked, 0) << "the monospaced font has Hebrew and Arabic itself";
    EXPECT_EQ(QFontInfo(Typography::monospaced(12)).fixedPitch(), true);
}

}  // namespace
}  // namespace mosaiko

#include "platform/qt/Typography.hpp"

#include <gtest/gtest.h>

#include <QFontInfo>

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

}  // namespace
}  // namespace mosaiko

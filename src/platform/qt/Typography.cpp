#include "platform/qt/Typography.hpp"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

namespace mosaiko {

namespace {

void setSize(QFont& font, double points) {
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(points))));
}

}  // namespace

QFont Typography::system(double points, QFont::Weight weight) {
    QFont font = QApplication::font();
    setSize(font, points);
    font.setWeight(weight);
    return font;
}

QFont Typography::monospaced(double points, QFont::Weight weight) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    // A script the monospaced font lacks (Hebrew, Arabic) comes from the interface font, as in
    // every other text of the windows, before any font that merely claims to be monospaced (a
    // thin typewriter face would be picked for it otherwise).
    font.setFamilies({font.family(), QApplication::font().family()});
    setSize(font, points);
    font.setWeight(weight);
    return font;
}

QFont Typography::emoji(double points) {
    QFont font(emojiFamily);
    font.setStyleStrategy(QFont::NoFontMerging);
    setSize(font, points);
    return font;
}

QFont Typography::emojiOrSystem(const QString& text, double points) {
    return EmojiOrSystemFonts(points).fontFor(text);
}

EmojiOrSystemFonts::EmojiOrSystemFonts(double points)
    : points_(points), emoji_(Typography::emoji(points)), emojiMetrics_(emoji_) {}

const QFont& EmojiOrSystemFonts::fontFor(const QString& text) const {
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        if (c == 0xFE0E || c == 0xFE0F || c == 0x200D) continue;
        if (emojiMetrics_.inFontUcs4(c)) continue;
        if (!system_) system_ = Typography::system(points_);
        return *system_;
    }
    return emoji_;
}

void Typography::warmUp() {
    // An interface text and an emoji laid out: the database, the fonts and their fallbacks.
    const QString sample = QStringLiteral("Aa 1 \u2026");
    for (const QFont& font : {system(13), system(13, QFont::Bold), monospaced(13)})
        QFontMetricsF(font).horizontalAdvance(sample);
    QFontMetricsF(emoji(13)).height();
}

}  // namespace mosaiko

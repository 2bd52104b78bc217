#include "platform/qt/Typography.hpp"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QTextCharFormat>
#include <algorithm>
#include <cmath>
#include <string_view>

#include "platform/Text.hpp"

namespace mosaiko {

namespace {

void setSize(QFont& font, double points) {
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(points))));
}

// The fonts two family names resolve to (Qt keeps what it resolved, so asking again is cheap).
QStringList resolvedFamilies(const QString& monospaced, const QString& interface) {
    QFont fixed(monospaced);
    fixed.setStyleHint(QFont::Monospace);
    return {QFontInfo(fixed).family(), QFontInfo(QFont(interface)).family()};
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
    // thin typewriter face would be picked for it otherwise). Named as the fonts they resolve to:
    // a generic name ("Sans Serif") brings that typewriter face back among its own fallbacks.
    font.setFamilies(resolvedFamilies(font.family(), QApplication::font().family()));
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

QList<QTextLayout::FormatRange> Typography::emojiRuns(const QString& text, const QFont& font) {
    QList<QTextLayout::FormatRange> runs;
    if (font.styleStrategy() & QFont::NoFontMerging) return runs;
    const auto characters = text::emojiCharacters(std::u16string_view(
        reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())));
    if (characters.empty()) return runs;
    QFont emojiFont = emoji(0);
    emojiFont.setPixelSize(font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize());
    const QFontMetricsF metrics(emojiFont);
    QTextCharFormat format;
    format.setFont(emojiFont);
    // A size in pixels is not carried over by setFont.
    format.setProperty(QTextFormat::FontPixelSize, emojiFont.pixelSize());
    for (const auto& [start, end] : characters) {
        bool covered = true;
        for (qsizetype i = static_cast<qsizetype>(start); covered && i < static_cast<qsizetype>(end); ++i) {
            char32_t c = text[i].unicode();
            if (text[i].isHighSurrogate() && i + 1 < static_cast<qsizetype>(end) &&
                text[i + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(text[i], text[i + 1]);
                ++i;
            }
            covered = c == 0xFE0F || c == 0x200D || metrics.inFontUcs4(c);
        }
        if (!covered) continue;
        const int from = static_cast<int>(start);
        const int length = static_cast<int>(end - start);
        // Emoji side by side are one run.
        if (!runs.isEmpty() && runs.back().start + runs.back().length == from)
            runs.back().length += length;
        else
            runs.append({from, length, format});
    }
    return runs;
}

void Typography::warmUp() {
    // An interface text and an emoji laid out: the database, the fonts and their fallbacks.
    const QString sample = QStringLiteral("Aa 1 \u2026");
    for (const QFont& font : {system(13), system(13, QFont::Bold), monospaced(13)})
        QFontMetricsF(font).horizontalAdvance(sample);
    QFontMetricsF(emoji(13)).height();
}

}  // namespace mosaiko

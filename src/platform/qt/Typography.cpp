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
    QFont font = emoji(points);
    const QFontMetricsF metrics(font);
    for (const char32_t c : text.toUcs4()) {
        if (c == 0xFE0E || c == 0xFE0F || c == 0x200D) continue;
        if (!metrics.inFontUcs4(c)) return system(points);
    }
    return font;
}

void Typography::warmUp() {
    // An interface text and an emoji laid out: the database, the fonts and their fallbacks.
    const QString sample = QStringLiteral("Aa 1 \u2026");
    for (const QFont& font : {system(13), system(13, QFont::Bold), monospaced(13)})
        QFontMetricsF(font).horizontalAdvance(sample);
    QFontMetricsF(emoji(13)).height();
}

}  // namespace mosaiko

#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QList>
#include <QString>
#include <QTextLayout>
#include <optional>

namespace mosaiko {

// The fonts of the views, sized in points with one point per device-independent pixel, so the
// sizes written for the views give the same geometry on every screen.
class Typography {
  public:
    static inline const QString emojiFamily = QStringLiteral("Noto Color Emoji");

    static QFont system(double points, QFont::Weight weight = QFont::Normal);
    static QFont monospaced(double points, QFont::Weight weight = QFont::Normal);
    // The colour-emoji family without fallback: with Qt's fallback, U+FE0F goes to another font and
    // multi-person sequences fall apart into several glyphs.
    static QFont emoji(double points);
    // The colour-emoji font when it has every code point of `text` (variation selectors and joiners
    // aside, which it shapes without listing them), else the ordinary font: without fallback, a text
    // such as ":-)" would be drawn as empty boxes.
    static QFont emojiOrSystem(const QString& text, double points);

    // The emoji of a text in an ordinary font (a snippet "ok 👍", a name), as the ranges of the
    // text to lay out in the colour-emoji font at the size of `font`, for QTextLayout::setFormats;
    // none when it holds no emoji the colour font has. Left to the ordinary font, they come out
    // from a monochrome font that stands in for them, and sequences fall apart.
    static QList<QTextLayout::FormatRange> emojiRuns(const QString& text, const QFont& font);

    // Reads the font database and loads the interface's fonts, so that the first window or search
    // that shows text does not wait for them; for a moment in which nothing waits.
    static void warmUp();
};

// Typography::emojiOrSystem for many texts at one size: the two fonts and the emoji font's
// character map are looked up once, not once per text (a screen of tiles asks for a hundred).
class EmojiOrSystemFonts {
  public:
    explicit EmojiOrSystemFonts(double points);
    const QFont& fontFor(const QString& text) const;

  private:
    double points_;
    QFont emoji_;
    QFontMetricsF emojiMetrics_;
    mutable std::optional<QFont> system_;  // made when a text first needs it
};

}  // namespace mosaiko

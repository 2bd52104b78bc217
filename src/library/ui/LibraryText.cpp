#include "library/ui/LibraryText.hpp"

#include <QFontMetricsF>
#include <QStaticText>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "platform/qt/EmojiGlyphCache.hpp"
#include "platform/qt/MixedTextLine.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

struct Line {
    int start;
    int length;
    double height;
};

struct Layout {
    std::vector<Line> lines;
    double height = 0;
    double widest = 0;
};

Layout layOut(const QString& text, const QFont& font, double width, bool wrap) {
    // A line feed starts a new line where the text may take several, and is a space where it keeps
    // to one (the layout itself would drop it, joining the words on either side).
    QString shaped = text;
    shaped.replace(QLatin1Char('\n'), wrap ? QChar(QChar::LineSeparator) : QChar(QLatin1Char(' ')));
    QTextLayout layout(shaped, font);
    layout.setFormats(Typography::emojiRuns(shaped, font));
    QTextOption option;
    option.setWrapMode(wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    layout.setTextOption(option);
    Layout result;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        result.lines.push_back({line.textStart(), line.textLength(), line.height()});
        result.height += line.height();
        result.widest = std::max(result.widest, line.naturalTextWidth());
    }
    layout.endLayout();
    return result;
}

bool fits(const Layout& layout, const QSizeF& box, int maxLines) {
    return static_cast<int>(layout.lines.size()) <= maxLines && layout.height <= box.height() + 0.5 &&
           layout.widest <= box.width() + 0.5;
}

int fullSize(const QFont& font) {
    return font.pixelSize() > 0 ? font.pixelSize() : static_cast<int>(std::lround(font.pointSizeF()));
}

QFont sized(QFont font, int pixels) {
    font.setPixelSize(pixels);
    return font;
}

}  // namespace

int LibraryText::fittedPixelSize(const QString& text, const QFont& font, const QSizeF& box,
                                 const Fitting& fitting) {
    const int full = fullSize(font);
    const int smallest = std::max(1, static_cast<int>(std::ceil(full * fitting.minimumScale)));
    const bool wrap = fitting.maxLines > 1;
    if (fits(layOut(text, font, box.width(), wrap), box, fitting.maxLines)) return full;
    // The largest size that fits, found by halving the range of allowed sizes.
    int low = smallest, high = full - 1;
    int best = smallest;
    while (low <= high) {
        const int middle = (low + high) / 2;
        if (fits(layOut(text, sized(font, middle), box.width(), wrap), box, fitting.maxLines)) {
            best = middle;
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    return best;
}

LibraryText::Measure LibraryText::measure(const QString& text, const QFont& font, double width,
                                          const Fitting& fitting) {
    if (text.isEmpty() || width <= 0) return {};
    const QSizeF unbounded(width, std::numeric_limits<double>::max() / 4);
    const QFont drawn = sized(font, fittedPixelSize(text, font, unbounded, fitting));
    const Layout layout = layOut(text, drawn, width, fitting.maxLines > 1);
    Measure measure;
    const std::size_t shown = std::min(layout.lines.size(), static_cast<std::size_t>(fitting.maxLines));
    for (std::size_t i = 0; i < shown; ++i) measure.height += layout.lines[i].height;
    measure.truncated = layout.lines.size() > shown || layout.widest > width + 0.5;
    return measure;
}

namespace {

// A line ready to draw: prepared once, or, holding emoji, laid out with them in the colour font.
struct PreparedLine {
    QStaticText text;
    QString withEmoji;
    QPointF offset;  // from the box's top left
    QSizeF size;
};

// A text laid out for one box: the font it fits at and its lines, ready to draw.
struct Prepared {
    QFont font;
    std::vector<PreparedLine> lines;
};

Prepared prepare(const QString& text, const QFont& font, const QSizeF& box,
                 const LibraryText::Fitting& fitting) {
    Prepared prepared{sized(font, LibraryText::fittedPixelSize(text, font, box, fitting)), {}};
    const bool wrap = fitting.maxLines > 1;
    const Layout layout = layOut(text, prepared.font, box.width(), wrap);

    // The lines shown: at most maxLines, the last one cut with an ellipsis when text remains.
    std::vector<std::pair<QString, double>> shown;
    double height = 0;
    for (std::size_t i = 0; i < layout.lines.size(); ++i) {
        const Line& line = layout.lines[i];
        const bool last =
            static_cast<int>(shown.size()) + 1 == fitting.maxLines || i + 1 == layout.lines.size();
        QString piece = text.mid(line.start, line.length).trimmed();
        if (last) {
            // The final line as laid out, or everything left when lines ran out.
            QString rest =
                i + 1 == layout.lines.size() ? text.mid(line.start, line.length) : text.mid(line.start);
            rest.replace(QLatin1Char('\n'), QLatin1Char(' '));
            rest = rest.trimmed();
            piece = MixedTextLine::advance(rest, prepared.font) > box.width() + 0.5
                        ? MixedTextLine::elided(rest, prepared.font, box.width())
                        : rest;
        }
        shown.emplace_back(piece, line.height);
        height += line.height;
        if (last) break;
    }

    double y = fitting.alignment & Qt::AlignVCenter ? (box.height() - height) / 2 : 0;
    const Qt::Alignment horizontal = fitting.alignment & Qt::AlignHorizontal_Mask;
    for (const auto& [piece, lineHeight] : shown) {
        PreparedLine line;
        if (Typography::emojiRuns(piece, prepared.font).isEmpty()) {
            line.text = QStaticText(piece);
            line.text.setTextFormat(Qt::PlainText);
            line.text.prepare(QTransform(), prepared.font);
            line.size = line.text.size();
        } else {
            line.withEmoji = piece;
            line.size = QSizeF(MixedTextLine::advance(piece, prepared.font), lineHeight);
        }
        double x = 0;
        if (horizontal & Qt::AlignHCenter) x = (box.width() - line.size.width()) / 2;
        if (horizontal & (Qt::AlignRight | Qt::AlignTrailing)) x = box.width() - line.size.width();
        line.offset = QPointF(x, y + (lineHeight - line.size.height()) / 2);
        prepared.lines.push_back(std::move(line));
        y += lineHeight;
    }
    return prepared;
}

struct KeyHash {
    size_t operator()(const QString& key) const { return qHash(key); }
};

// Laying out colour emoji loads their bitmaps, so every text is prepared once per font and box,
// within the budget the views' drawing caches share.
BudgetedCache<QString, Prepared, KeyHash>& preparedTexts() {
    static BudgetedCache<QString, Prepared, KeyHash> cache(EmojiGlyphCache::budget());
    return cache;
}

}  // namespace

void LibraryText::draw(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
                       const QColor& color, const Fitting& fitting) {
    if (text.isEmpty() || box.width() <= 0) return;
    // Centred text is drawn from the glyph images the other views share: a colour emoji's bitmap
    // is decoded once for its image rather than at every layout.
    if (fitting.alignment & Qt::AlignVCenter) {
        EmojiGlyphCache::draw(
            painter, box, text, font, color,
            {fitting.minimumScale, true, fitting.alignment & Qt::AlignHorizontal_Mask, fitting.maxLines});
        return;
    }
    const QString key = text + QChar(0x1F) + font.key() + QChar(0x1F) + QString::number(box.width()) + 'x' +
                        QString::number(box.height()) + QChar(0x1F) + QString::number(fitting.maxLines) +
                        ',' + QString::number(fitting.minimumScale) + ',' +
                        QString::number(int(fitting.alignment));
    const Prepared* prepared = preparedTexts().find(key);
    if (!prepared) {
        // The laid-out glyphs, roughly: their indexes and positions, and the lines' own keeping.
        const std::size_t cost =
            512 + static_cast<std::size_t>(key.size()) * 2 + 32 * static_cast<std::size_t>(text.size());
        prepared = preparedTexts().insert(key, prepare(text, font, box.size(), fitting), cost);
        if (!prepared) return;
    }
    painter.save();
    painter.setFont(prepared->font);
    painter.setPen(color);
    for (const PreparedLine& line : prepared->lines) {
        const QPointF at = box.topLeft() + line.offset;
        if (line.withEmoji.isEmpty())
            painter.drawStaticText(at, line.text);
        else
            MixedTextLine::drawWithEmoji(painter, QRectF(at, line.size + QSizeF(1, 0)), line.withEmoji);
    }
    painter.restore();
}

}  // namespace mosaiko

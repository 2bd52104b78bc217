#include "library/ui/LibraryText.hpp"

#include <QFontMetricsF>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <vector>

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
    QTextLayout layout(text, font);
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

void LibraryText::draw(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
                       const QColor& color, const Fitting& fitting) {
    if (text.isEmpty() || box.width() <= 0) return;
    const QFont font2 = sized(font, fittedPixelSize(text, font, box.size(), fitting));
    const bool wrap = fitting.maxLines > 1;
    const Layout layout = layOut(text, font2, box.width(), wrap);
    const QFontMetricsF metrics(font2);

    // The lines shown: at most maxLines, the last one cut with an ellipsis when text remains.
    std::vector<QString> shown;
    double height = 0;
    for (std::size_t i = 0; i < layout.lines.size(); ++i) {
        const Line& line = layout.lines[i];
        const bool last =
            static_cast<int>(shown.size()) + 1 == fitting.maxLines || i + 1 == layout.lines.size();
        if (last) {
            // The final line as laid out, or everything left when lines ran out.
            QString rest =
                i + 1 == layout.lines.size() ? text.mid(line.start, line.length) : text.mid(line.start);
            rest.replace(QLatin1Char('\n'), QLatin1Char(' '));
            shown.push_back(metrics.horizontalAdvance(rest.trimmed()) > box.width() + 0.5
                                ? metrics.elidedText(rest, Qt::ElideRight, box.width())
                                : rest.trimmed());
            height += line.height;
            break;
        }
        shown.push_back(text.mid(line.start, line.length).trimmed());
        height += line.height;
    }

    painter.save();
    painter.setFont(font2);
    painter.setPen(color);
    const double lineHeight = shown.empty() ? 0 : height / static_cast<double>(shown.size());
    double y = box.top();
    if (fitting.alignment & Qt::AlignVCenter) y += (box.height() - height) / 2;
    const Qt::Alignment horizontal = fitting.alignment & Qt::AlignHorizontal_Mask;
    for (const QString& line : shown) {
        painter.drawText(QRectF(box.left(), y, box.width(), lineHeight), horizontal | Qt::AlignVCenter, line);
        y += lineHeight;
    }
    painter.restore();
}

}  // namespace mosaiko

#include "platform/qt/MixedTextLine.hpp"

#include <QFontMetricsF>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

// The text laid out on one line `width` wide with its emoji in the colour font; null for a text
// without any.
std::unique_ptr<QTextLayout> laidOut(const QString& text, const QFont& font, QTextOption option,
                                     double width = 1e6) {
    auto runs = Typography::emojiRuns(text, font);
    if (runs.isEmpty()) return nullptr;
    auto layout = std::make_unique<QTextLayout>(text, font);
    layout->setFormats(runs);
    option.setWrapMode(QTextOption::NoWrap);
    layout->setTextOption(option);
    layout->beginLayout();
    layout->createLine().setLineWidth(width);
    layout->endLayout();
    return layout;
}

}  // namespace

QString MixedTextLine::shownPart(const QString& text, int lines) {
    const qsizetype longest = kLongestLine * std::max(1, lines);
    if (text.size() <= longest) return text;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    characters.setPosition(longest);
    const qsizetype cut = characters.isAtBoundary() ? longest : characters.toPreviousBoundary();
    return text.left(std::max<qsizetype>(cut, 0));
}

double MixedTextLine::advance(const QString& whole, const QFont& font) {
    const QString text = shownPart(whole);
    if (const auto layout = laidOut(text, font, QTextOption())) return layout->lineAt(0).naturalTextWidth();
    return QFontMetricsF(font).horizontalAdvance(text);
}

QString MixedTextLine::elided(const QString& whole, const QFont& font, double width) {
    const QString text = shownPart(whole);
    const auto layout = laidOut(text, font, QTextOption());
    if (!layout) return QFontMetricsF(font).elidedText(text, Qt::ElideRight, width);
    const QTextLine line = layout->lineAt(0);
    if (line.naturalTextWidth() <= width) return text;
    const QString ellipsis(QChar(0x2026));
    const double room = width - QFontMetricsF(font).horizontalAdvance(ellipsis);
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    qsizetype cut = 0;
    for (qsizetype at = characters.toNextBoundary(); at > 0 && line.cursorToX(static_cast<int>(at)) <= room;
         at = characters.toNextBoundary())
        cut = at;
    return text.left(cut) + ellipsis;
}

bool MixedTextLine::drawWithEmoji(QPainter& painter, const QRectF& box, const QString& text,
                                  const QTextOption& option) {
    const auto layout = laidOut(shownPart(text), painter.font(), option, box.width());
    if (!layout) return false;
    layout->draw(&painter, QPointF(box.left(), box.center().y() - layout->lineAt(0).height() / 2));
    return true;
}

MixedTextLabel::MixedTextLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

QSize MixedTextLabel::sizeHint() const {
    const QSize plain = QLabel::sizeHint();
    const QMargins margins = contentsMargins();
    const int width = static_cast<int>(std::ceil(MixedTextLine::advance(text(), font()))) + margins.left() +
                      margins.right() + 2 * margin();
    return {std::max(plain.width(), width), plain.height()};
}

void MixedTextLabel::paintEvent(QPaintEvent* event) {
    if (Typography::emojiRuns(text(), font()).isEmpty()) return QLabel::paintEvent(event);
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    const QRectF box = QRectF(contentsRect()).adjusted(margin(), margin(), -margin(), -margin());
    MixedTextLine::drawWithEmoji(painter, box, text(), QTextOption(alignment() & Qt::AlignHorizontal_Mask));
}

}  // namespace mosaiko

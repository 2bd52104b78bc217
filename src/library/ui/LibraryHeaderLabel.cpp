#include "library/ui/LibraryHeaderLabel.hpp"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

#include "platform/qt/EmojiGlyphCache.hpp"
#include "platform/qt/PlainToolTip.hpp"

namespace mosaiko {

LibraryHeaderLabel::LibraryHeaderLabel(const QFont& font, QWidget* parent) : QWidget(parent) {
    setFont(font);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void LibraryHeaderLabel::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    layOut();
}

QSize LibraryHeaderLabel::sizeHint() const {
    return {0, static_cast<int>(std::ceil(QFontMetricsF(font()).height()))};
}

QSize LibraryHeaderLabel::minimumSizeHint() const {
    return sizeHint();
}

QString LibraryHeaderLabel::shownText() const {
    // A line break would start a second line the label has no room for.
    QString shown = text_;
    shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return shown;
}

void LibraryHeaderLabel::layOut() {
    truncated_ = EmojiGlyphCache::width(shownText(), font()) > width();
    setToolTip(truncated_ ? plainToolTip(text_) : QString());
    update();
}

void LibraryHeaderLabel::paintEvent(QPaintEvent*) {
    // Through the views' text images: a count typed before, or a title, is copied, not laid out.
    QPainter painter(this);
    EmojiGlyphCache::draw(painter, QRectF(rect()), shownText(), font(), palette().color(foregroundRole()),
                          {1.0, true, Qt::AlignLeft, 1});
}

void LibraryHeaderLabel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layOut();
}

void LibraryHeaderLabel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
        layOut();
    }
}

}  // namespace mosaiko

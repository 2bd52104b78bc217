#include "library/ui/LibraryHeaderLabel.hpp"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

#include "platform/qt/PlainToolTip.hpp"

namespace mosaiko {

LibraryHeaderLabel::LibraryHeaderLabel(const QFont& font, QWidget* parent) : QWidget(parent) {
    setFont(font);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    line_.setTextFormat(Qt::PlainText);
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

void LibraryHeaderLabel::layOut() {
    // A line break would start a second line the label has no room for.
    QString shown = text_;
    shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
    line_.setText(shown);
    line_.prepare(QTransform(), font());
    truncated_ = line_.size().width() > width();
    if (truncated_) {
        line_.setText(QFontMetricsF(font()).elidedText(shown, Qt::ElideRight, width()));
        line_.prepare(QTransform(), font());
    }
    setToolTip(truncated_ ? plainToolTip(text_) : QString());
    update();
}

void LibraryHeaderLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    const double top = (height() - QFontMetricsF(font()).height()) / 2;
    painter.drawStaticText(QPointF(0, top), line_);
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

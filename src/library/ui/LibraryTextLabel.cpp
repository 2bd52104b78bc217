#include "library/ui/LibraryTextLabel.hpp"
#include "platform/qt/PlainToolTip.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace mosaiko {

LibraryTextLabel::LibraryTextLabel(const QFont& font, LibraryText::Fitting fitting, QWidget* parent)
    : QWidget(parent), font_(font), fitting_(fitting) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void LibraryTextLabel::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    changed();
}

void LibraryTextLabel::setFont(const QFont& font) {
    if (font == font_) return;
    font_ = font;
    changed();
}

bool LibraryTextLabel::isTruncated() const {
    return LibraryText::measure(text_, font_, width(), fitting_).truncated;
}

int LibraryTextLabel::heightForWidth(int width) const {
    const double lineHeight = QFontMetricsF(font_).height();
    const double height = LibraryText::measure(text_, font_, width, fitting_).height;
    return static_cast<int>(std::ceil(std::max(height, lineHeight)));
}

QSize LibraryTextLabel::sizeHint() const {
    const int width = static_cast<int>(std::ceil(QFontMetricsF(font_).horizontalAdvance(text_)));
    return {width, heightForWidth(width)};
}

QSize LibraryTextLabel::minimumSizeHint() const {
    // The label gives way to its neighbours: it cuts its text rather than push them aside.
    return {0, static_cast<int>(std::ceil(QFontMetricsF(font_).height()))};
}

void LibraryTextLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    LibraryText::draw(painter, QRectF(rect()), text_, font_, palette().color(foregroundRole()), fitting_);
}

void LibraryTextLabel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    setToolTip(isTruncated() ? plainToolTip(text_) : QString());
}

void LibraryTextLabel::changed() {
    setToolTip(isTruncated() ? plainToolTip(text_) : QString());
    updateGeometry();
    update();
}

}  // namespace mosaiko

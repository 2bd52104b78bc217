#include "platform/qt/BandedScrollBarStyle.hpp"

#include <QApplication>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionComplex>
#include <algorithm>
#include <cmath>

namespace mosaiko {

namespace {

// The most lines (device pixels) the raster engine draws on the calling thread.
constexpr int kBandPixels = 95;

}  // namespace

void BandedScrollBarStyle::apply(QScrollBar& bar) {
    auto* style = new BandedScrollBarStyle(QApplication::style()->name());
    style->setParent(&bar);
    bar.setStyle(style);
}

void BandedScrollBarStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                              QPainter* painter, const QWidget* widget) const {
    const QRect area = option->rect;
    const double scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const int band = std::max(1, static_cast<int>(std::floor(kBandPixels / scale)));
    if (control != CC_ScrollBar || area.height() <= band || area.isEmpty() ||
        painter->worldTransform().type() > QTransform::TxTranslate) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    // Each band is drawn whole into an image of its own, then copied: the style sets clips of its
    // own while it draws, so a clip set around it would not hold it to the band.
    QImage image(QSize(area.width(), band) * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    for (int top = area.top(); top <= area.bottom(); top += band) {
        image.fill(Qt::transparent);
        {
            QPainter bandPainter(&image);
            bandPainter.setRenderHints(painter->renderHints());
            bandPainter.translate(-area.left(), -top);
            QProxyStyle::drawComplexControl(control, option, &bandPainter, widget);
        }
        const int height = std::min(band, area.bottom() + 1 - top);
        painter->drawImage(QRectF(area.left(), top, area.width(), height), image,
                           QRectF(0, 0, area.width() * scale, height * scale));
    }
}

}  // namespace mosaiko

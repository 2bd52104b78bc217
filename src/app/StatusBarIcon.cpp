#include "app/StatusBarIcon.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSvgRenderer>
#include <algorithm>

namespace mosaiko {

namespace {

QImage blank(int pixels) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

}  // namespace

void StatusBarIcon::drawFallback(QPainter& painter, const QRectF& rect, const QColor& color) {
    painter.save();
    const double s = std::min(rect.width(), rect.height()) / 24.0;
    painter.translate(rect.center().x() - 12.0 * s, rect.center().y() - 12.0 * s);
    painter.scale(s, s);
    painter.setRenderHint(QPainter::Antialiasing);

    QPen pen(color, 2.0);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(2.5, 2.5, 19, 19), 5, 5);

    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(5.5, 10.45, 2.5, 2.5));
    painter.drawEllipse(QRectF(16.0, 10.45, 2.5, 2.5));
    QPainterPath mouth;
    mouth.setFillRule(Qt::WindingFill);
    mouth.addRoundedRect(QRectF(7.5, 13.75, 9, 2.5), 0.75, 0.75);
    painter.drawPath(mouth);
    painter.restore();
}

QImage StatusBarIcon::renderFallback(int pixels, const QColor& color) {
    QImage image = blank(pixels);
    QPainter painter(&image);
    drawFallback(painter, QRectF(0, 0, pixels, pixels), color);
    return image;
}

QImage StatusBarIcon::renderResource(const std::filesystem::path& resource, int pixels, const QColor& color) {
    QSvgRenderer renderer(QString::fromStdString(resource.string()));
    if (!renderer.isValid()) return {};
    QImage image = blank(pixels);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(0, 0, pixels, pixels));
    // Keep the shape, take the colour: what a template image does on a menu bar.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    return image;
}

QIcon StatusBarIcon::make(const std::optional<std::filesystem::path>& resource, const QColor& color) {
    QIcon icon;
    for (int scale : {1, 2, 3}) {
        const int pixels = kPointSize * scale;
        QImage image;
        if (resource) image = renderResource(*resource, pixels, color);
        if (image.isNull()) image = renderFallback(pixels, color);
        QPixmap pixmap = QPixmap::fromImage(image);
        pixmap.setDevicePixelRatio(scale);
        icon.addPixmap(pixmap);
    }
    icon.setIsMask(true);
    return icon;
}

}  // namespace mosaiko

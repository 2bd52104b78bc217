#include "app/StatusBarIcon.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSvgRenderer>
#include <algorithm>
#include <vector>

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

namespace {

// The shape with everything it encloses: what no transparent path from the image's edge reaches.
QImage body(const QImage& shape) {
    const int w = shape.width();
    const int h = shape.height();
    std::vector<char> outside(static_cast<std::size_t>(w * h), 0);
    std::vector<QPoint> pending;
    const auto reach = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= w || y >= h) return;
        char& seen = outside[static_cast<std::size_t>(y * w + x)];
        if (seen || qAlpha(shape.pixel(x, y)) >= 128) return;
        seen = 1;
        pending.emplace_back(x, y);
    };
    for (int x = 0; x < w; ++x) reach(x, 0), reach(x, h - 1);
    for (int y = 0; y < h; ++y) reach(0, y), reach(w - 1, y);
    while (!pending.empty()) {
        const QPoint p = pending.back();
        pending.pop_back();
        reach(p.x() + 1, p.y()), reach(p.x() - 1, p.y()), reach(p.x(), p.y() + 1), reach(p.x(), p.y() - 1);
    }
    QImage result = blank(w);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int alpha = outside[static_cast<std::size_t>(y * w + x)] ? qAlpha(shape.pixel(x, y)) : 255;
            result.setPixel(x, y, qPremultiply(qRgba(0, 0, 0, alpha)));
        }
    return result;
}

}  // namespace

QImage StatusBarIcon::onPaper(const QImage& shape, int scale) {
    // The paper: the shape's body in the light colour, and again around it a point wide.
    QImage paperBody = body(shape);
    {
        QPainter tint(&paperBody);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(paperBody.rect(), paper());
    }
    QImage image = blank(shape.width());
    QPainter painter(&image);
    for (int dy = -scale; dy <= scale; ++dy)
        for (int dx = -scale; dx <= scale; ++dx)
            if (dx * dx + dy * dy <= scale * scale) painter.drawImage(dx, dy, paperBody);
    painter.drawImage(0, 0, shape);
    return image;
}

QIcon StatusBarIcon::make(const std::optional<std::filesystem::path>& resource) {
    QIcon icon;
    for (int scale : {1, 2, 3}) {
        const int pixels = kPointSize * scale;
        QImage shape;
        if (resource) shape = renderResource(*resource, pixels, ink());
        if (shape.isNull()) shape = renderFallback(pixels, ink());
        QPixmap pixmap = QPixmap::fromImage(onPaper(shape, scale));
        pixmap.setDevicePixelRatio(scale);
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace mosaiko

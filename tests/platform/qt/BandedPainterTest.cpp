#include <gtest/gtest.h>

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>
#include <functional>

#include "platform/qt/BandedPainter.hpp"

namespace mosaiko::testing {
namespace {

// A widget whose paint event shares its rows out as bands, each filled with a colour of its own
// over a copied pattern, when the painter allows; `setUp` prepares its painter first.
class BandedWidget final : public QWidget {
  public:
    std::function<void(QPainter&)> setUp;
    bool banded = false;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (setUp) setUp(painter);
        const auto bandPainter = BandedPainter::over(painter, rect());
        banded = bandPainter.has_value();
        if (!bandPainter) return;
        QImage pattern(width(), 10, QImage::Format_ARGB32_Premultiplied);
        for (int x = 0; x < pattern.width(); ++x)
            for (int y = 0; y < pattern.height(); ++y) pattern.setPixel(x, y, qRgba(x % 256, y * 20, 0, 255));
        std::vector<QRect> bands;
        for (int top = 0; top < height(); top += 10) bands.emplace_back(0, top, width(), 10);
        bandPainter->paint(bands, [&](QPainter& band, std::size_t i) {
            band.drawImage(QPointF(0, bands[i].top()), pattern);
            // Spills past its band on purpose: the band's clip keeps it in.
            band.fillRect(QRect(0, bands[i].top() - 5, width() / 2, 20),
                          QColor::fromHsv(int(i) * 25 % 360, 255, 255));
        });
    }
};

// What the bands should show at widget pixel (x, y).
QRgb expected(int x, int y, int width) {
    if (x < width / 2) return QColor::fromHsv((y / 10) * 25 % 360, 255, 255).rgb();
    return qRgba(x % 256, (y % 10) * 20, 0, 255);
}

TEST(BandedPainter, EachBandIsDrawnIntoTheImageWithinItsBand) {
    BandedWidget widget;
    widget.resize(200, 170);
    for (const double scale : {1.0, 2.0}) {
        QImage image(widget.size() * scale, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::black);
        widget.render(&image);
        ASSERT_TRUE(widget.banded) << scale;
        int wrong = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                wrong += image.pixel(x, y) != expected(int(x / scale), int(y / scale), widget.width());
        EXPECT_EQ(wrong, 0) << scale;
    }
}

TEST(BandedPainter, IsRefusedWhereThePainterMayNotDrawTheWholeAreaOrNotIntoAnImage) {
    BandedWidget widget;
    widget.resize(100, 60);
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"part of the widget", [&] { widget.render(&image, {}, QRegion(0, 0, 50, 60)); }},
        {"a clip of its own",
         [&] {
             widget.setUp = [](QPainter& p) { p.setClipRect(0, 0, 10, 10); };
             widget.render(&image);
         }},
        {"a turn",
         [&] {
             widget.setUp = [](QPainter& p) { p.rotate(10); };
             widget.render(&image);
         }},
        {"16-bit pixels",
         [&] {
             widget.setUp = {};
             QImage small(widget.size(), QImage::Format_RGB16);
             widget.render(&small);
         }},
    };
    for (const auto& [what, paint] : cases) {
        widget.banded = true;
        paint();
        EXPECT_FALSE(widget.banded) << what;
    }
}

}  // namespace
}  // namespace mosaiko::testing

#pragma once

#include <QImage>
#include <QRect>
#include <QTransform>
#include <functional>
#include <optional>
#include <vector>

class QPainter;

namespace mosaiko {

// Paints a widget's area in bands, on several threads at once, straight into the image its window
// is drawn into. A screen of a grid's tiles is mostly images copied and blended, which waits on
// memory more than it computes: several processors wait at once. A band may only fill, copy and
// blend images; text, fonts and Qt's shared caches belong to the GUI thread.
class BandedPainter {
  public:
    // None where `painter`, begun on a widget in its paint event, does not draw straight into an
    // image of 32-bit pixels, with no transform but a move and a scale, or may not paint all of
    // `area` (widget coordinates).
    static std::optional<BandedPainter> over(QPainter& painter, const QRect& area);

    // Calls `paint` once for each of `bands` (widget coordinates, apart, within the area), with a
    // painter of its own that draws in the widget's coordinates, clipped to the band; some on the
    // drawing threads, the rest on this one. Returns once all are drawn.
    void paint(const std::vector<QRect>& bands,
               const std::function<void(QPainter&, std::size_t)>& paint) const;

  private:
    struct Work;

    BandedPainter(uchar* bits, const QImage& image, const QTransform& toDevice);
    // Takes bands and draws them until none is left.
    void drawBands(Work& work) const;

    uchar* bits_;
    QSize size_;
    qsizetype bytesPerLine_;
    QImage::Format format_;
    QTransform toDevice_;
};

}  // namespace mosaiko

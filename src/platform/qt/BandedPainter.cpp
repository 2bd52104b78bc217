#include "platform/qt/BandedPainter.hpp"

#include <QPaintEngine>
#include <QPainter>
#include <QSemaphore>
#include <QThreadPool>
#include <algorithm>
#include <atomic>
#include <memory>

#include "platform/qt/DrawingThreads.hpp"

namespace mosaiko {

// What the threads share; a helper that comes after the last band was taken touches only this.
struct BandedPainter::Work {
    std::vector<QRect> bands;
    const std::function<void(QPainter&, std::size_t)>* paint = nullptr;
    std::atomic<std::size_t> next = 0;
    QSemaphore drawn;
};

std::optional<BandedPainter> BandedPainter::over(QPainter& painter, const QRect& area) {
    QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || painter.hasClipping()) return std::nullopt;
    QPaintDevice* device = engine->paintDevice();
    if (!device || device->devType() != QInternal::Image) return std::nullopt;
    auto* image = static_cast<QImage*>(device);
    const QTransform toDevice = painter.deviceTransform();
    if (image->depth() != 32 || toDevice.type() > QTransform::TxScale) return std::nullopt;
    // The painter may draw only where the widget is to be painted: all of the area, or nothing.
    const QRect onDevice = toDevice.mapRect(QRectF(area)).toAlignedRect();
    if (!QRect(QPoint(0, 0), image->size()).contains(onDevice)) return std::nullopt;
    const QRegion allowed = engine->systemClip();
    if (!allowed.isEmpty() && !(QRegion(onDevice) - allowed).isEmpty()) return std::nullopt;
    // The image the painter is drawing into already: its pixels are this painter's, not shared.
    return BandedPainter(const_cast<uchar*>(image->constBits()), *image, toDevice);
}

BandedPainter::BandedPainter(uchar* bits, const QImage& image, const QTransform& toDevice)
    : bits_(bits),
      size_(image.size()),
      bytesPerLine_(image.bytesPerLine()),
      format_(image.format()),
      toDevice_(toDevice) {}

void BandedPainter::drawBands(Work& work) const {
    // Built once a band is taken: a helper that comes late finds none left, and touches neither
    // the pixels nor the caller's function.
    std::optional<QImage> target;
    std::optional<QPainter> painter;
    for (std::size_t band; (band = work.next++) < work.bands.size();) {
        if (!painter) {
            target.emplace(bits_, size_.width(), size_.height(), bytesPerLine_, format_);
            painter.emplace(&*target);
            painter->setTransform(toDevice_);
        }
        painter->setClipRect(work.bands[band]);
        (*work.paint)(*painter, band);
        work.drawn.release();
    }
}

void BandedPainter::paint(const std::vector<QRect>& bands,
                          const std::function<void(QPainter&, std::size_t)>& paint) const {
    auto work = std::make_shared<Work>();
    work->bands = bands;
    work->paint = &paint;
    QThreadPool* pool = drawingThreads();
    const int helpers = pool ? std::min(pool->maxThreadCount(), static_cast<int>(bands.size()) - 1) : 0;
    // A copy: this object may be gone when a late helper starts.
    for (int i = 0; i < helpers; ++i) pool->start([self = *this, work] { self.drawBands(*work); });
    drawBands(*work);
    work->drawn.acquire(static_cast<int>(bands.size()));
}

}  // namespace mosaiko

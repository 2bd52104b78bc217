#pragma once

#include <QProxyStyle>

class QScrollBar;

namespace mosaiko {

// The application's style, drawing scroll bars in horizontal bands. Qt's raster engine splits a
// blended fill or a line taller than 95 pixels across its thread pool and waits for those
// threads: for a scroll bar as tall as a window, waking them took longer than the drawing, and
// that bar is redrawn whenever its list changes (every letter of a search).
class BandedScrollBarStyle final : public QProxyStyle {
  public:
    // Gives `bar` a style of this kind, owned by the bar.
    static void apply(QScrollBar& bar);

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;

  private:
    explicit BandedScrollBarStyle(const QString& key) : QProxyStyle(key) {}
};

}  // namespace mosaiko

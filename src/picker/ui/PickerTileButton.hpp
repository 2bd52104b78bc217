#pragma once

#include <QWidget>

#include <functional>
#include "picker/ui/ClickTracker.hpp"

namespace mosaiko {

// A plain, chrome-less button of the picker: it draws itself with the function it is given and
// reports pointer movements over it and clicks (a press and release inside it) with the modifiers
// held at that moment. It never takes focus.
class PickerTileButton : public QWidget {
    Q_OBJECT

  public:
    using Painter = std::function<void(QPainter& painter, const QRectF& bounds)>;

    explicit PickerTileButton(QWidget* parent = nullptr);

    void setPainter(Painter painter);
    // Drawn at this opacity (1 by default).
    void setOpacity(double opacity);
    double opacity() const { return opacity_; }
    bool isHovering() const { return hovering_; }

  signals:
    void clicked(Qt::KeyboardModifiers modifiers);
    void pointerMoved();
    void hoverChanged(bool hovering);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    Painter painter_;
    double opacity_ = 1.0;
    ClickTracker clicks_;
    bool hovering_ = false;
};

}  // namespace mosaiko

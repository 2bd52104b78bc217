#pragma once

#include <QPoint>
#include <QRegion>
#include <QSize>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

namespace mosaiko {

// The picker's window: frameless, always on top, never focused or activated (the keys stay with
// the application being typed in and reach the picker through the key tap), yet it takes the first
// click. The rounded background is drawn by its content; pressing on the background and dragging
// moves it.
class PickerPanel : public QWidget {
    Q_OBJECT

  public:
    static constexpr Qt::WindowFlags windowFlags = Qt::Tool | Qt::FramelessWindowHint |
                                                   Qt::WindowDoesNotAcceptFocus |
                                                   Qt::X11BypassWindowManagerHint | Qt::WindowStaysOnTopHint;

    explicit PickerPanel(QWidget* parent = nullptr);
    ~PickerPanel() override;

    void setContentView(QWidget* content);

    // Runs for every pointer movement over the panel, before its views see it.
    std::function<void()> onMouseMoved;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    class MapExposures;

    std::optional<QPoint> dragOffset_;
    std::unique_ptr<MapExposures> mapExposures_;  // on X only
    QRegion shape_;                               // cut to where no compositor blends its corners
    QSize shapeSize_;
};

}  // namespace mosaiko

#pragma once

#include <QMouseEvent>
#include <QWidget>
#include <optional>
#include <utility>

namespace mosaiko {

// Tells clicks apart from other presses: a click is the left button pressed and released over the
// same target, a whole widget or one of its cells. A press that is dragged off and released
// elsewhere clicks nothing.
class ClickTracker {
  public:
    // The target for a widget that is one target as a whole: 0 inside it, none outside.
    static std::optional<int> wholeWidget(const QWidget& widget, const QMouseEvent& event) {
        return widget.rect().contains(event.position().toPoint()) ? std::optional<int>(0) : std::nullopt;
    }

    // `target` is what the pointer is over.
    void press(const QMouseEvent& event, std::optional<int> target) {
        pressed_ = event.button() == Qt::LeftButton ? target : std::nullopt;
    }

    // The target clicked, when this release completes a click.
    std::optional<int> release(const QMouseEvent& event, std::optional<int> target) {
        const auto pressed = std::exchange(pressed_, std::nullopt);
        if (!pressed || event.button() != Qt::LeftButton || target != pressed) return std::nullopt;
        return pressed;
    }

    // Forgets a press (the targets changed, or the widget went away).
    void cancel() { pressed_.reset(); }

  private:
    std::optional<int> pressed_;
};

}  // namespace mosaiko

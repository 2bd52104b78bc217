#pragma once

#include <QWidget>
#include <functional>
#include <optional>

#include "content/KeyboardShortcut.hpp"
#include "platform/KeyEvent.hpp"

class QKeyEvent;

namespace mosaiko {

// Captures one key combination without a text field: it takes the focus when shown and records
// every press that holds Ctrl, Alt or Super with one printable key, as the key tap would
// see it; such a press goes no further (not to the window's own shortcuts). Every other press goes
// on to the window (Escape closes the sheet, Tab moves the focus).
class ShortcutRecorderView final : public QWidget {
  public:
    using KeyEventReader = std::function<std::optional<KeyEvent>(const QKeyEvent&)>;

    explicit ShortcutRecorderView(KeyEventReader keyEventOf, QWidget* parent = nullptr);

    std::function<void(const KeyboardShortcut&)> onShortcutRecorded;

    // The combination a press records, if any.
    std::optional<KeyboardShortcut> captured(const QKeyEvent& event) const;

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent*) override;

  private:
    KeyEventReader keyEventOf_;
};

}  // namespace mosaiko

#pragma once

#include <QDialog>
#include <memory>
#include <optional>

#include "settings/SettingsState.hpp"
#include "settings/ui/ShortcutRecorderView.hpp"

class QLabel;
class QPushButton;

namespace mosaiko {

class DeferredRefresh;

// The sheet that records the library's global shortcut: the first combination recorded is stored
// and closes it; "Disable" removes the shortcut, "Cancel" changes nothing. The recorder holds the
// focus, and a combination typed while a button has it is recorded all the same. A combination that
// another program holds never reaches the sheet; when the key tap saw it typed and the sheet did not
// receive it, the sheet says so and stays open.
class LibraryShortcutSheet final : public QDialog {
  public:
    LibraryShortcutSheet(SettingsState& state, ShortcutRecorderView::KeyEventReader keyEventOf,
                         QWidget* parent = nullptr);
    ~LibraryShortcutSheet() override;

    ShortcutRecorderView* recorder() const { return recorder_; }
    QLabel* currentShortcutLabel() const { return current_; }
    QPushButton* disableButton() const { return disable_; }
    QPushButton* cancelButton() const { return cancel_; }
    QLabel* takenNotice() const { return taken_; }

    // How long a combination seen by the key tap may take to reach the sheet.
    static constexpr int deliveryGraceMs = 500;
    // A key press typed anywhere while the sheet records.
    void keyTypedAnywhere(const KeyEvent& event);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void refresh();
    void record(const KeyboardShortcut& shortcut);

    SettingsState& state_;
    ShortcutRecorderView* recorder_ = nullptr;
    QLabel* current_ = nullptr;
    QPushButton* disable_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QLabel* taken_ = nullptr;
    std::optional<KeyboardShortcut> awaited_;
    std::unique_ptr<DeferredRefresh> refresh_;
};

}  // namespace mosaiko

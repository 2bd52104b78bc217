#pragma once

#include <QDialog>
#include <memory>

#include "settings/SettingsState.hpp"
#include "settings/ui/ShortcutRecorderView.hpp"

class QLabel;
class QPushButton;

namespace mosaiko {

class DeferredRefresh;

// The sheet that records the library's global shortcut: the first combination recorded is stored
// and closes it; "Disable" removes the shortcut, "Cancel" changes nothing.
class LibraryShortcutSheet final : public QDialog {
  public:
    LibraryShortcutSheet(SettingsState& state, ShortcutRecorderView::KeyEventReader keyEventOf,
                         QWidget* parent = nullptr);
    ~LibraryShortcutSheet() override;

    ShortcutRecorderView* recorder() const { return recorder_; }
    QLabel* currentShortcutLabel() const { return current_; }
    QPushButton* disableButton() const { return disable_; }
    QPushButton* cancelButton() const { return cancel_; }

  private:
    void refresh();

    SettingsState& state_;
    ShortcutRecorderView* recorder_ = nullptr;
    QLabel* current_ = nullptr;
    QPushButton* disable_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::unique_ptr<DeferredRefresh> refresh_;
};

}  // namespace mosaiko

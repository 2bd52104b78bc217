#pragma once

#include <QWidget>
#include <functional>

#include "picker/PickerViewModel.hpp"
#include "picker/ui/PickerTileButton.hpp"

namespace mosaiko {

class PickerTileButton;

// The fixed group at the end of the picker's top row: a "⇥ TAB" hint and the library, settings
// and close buttons. Library and close go to the picker controller as actions; settings goes to
// the application shell.
class TopRowAccessoryControls : public QWidget {
    Q_OBJECT

  public:
    // `openSettings` serves the settings button.
    TopRowAccessoryControls(PickerViewModel& model, std::function<void()> openSettings,
                            QWidget* parent = nullptr);

    // The whole group is drawn at this opacity.
    void setOpacity(double opacity);

    QWidget* hint() const { return hint_; }
    PickerTileButton* libraryButton() const { return library_; }
    PickerTileButton* settingsButton() const { return settings_; }
    PickerTileButton* closeButton() const { return close_; }

  private:
    PickerViewModel& model_;
    PickerTileButton* hint_;
    PickerTileButton* library_;
    PickerTileButton* settings_;
    PickerTileButton* close_;
};

}  // namespace mosaiko

#pragma once

#include <QWidget>
#include <array>
#include <functional>

#include "picker/PickerViewModel.hpp"
#include "picker/ui/DeferredRefresh.hpp"

namespace mosaiko {

class CollectionsStore;
class PickerTileButton;
class TopRowAccessoryControls;

// The picker's tabs: one chip per scope, the selected one marked, "Pins" disabled while nothing is
// pinned (unless it is the current scope), then the accessory controls.
class CollectionsRowView : public QWidget {
    Q_OBJECT

  public:
    static constexpr std::array<PickerViewModel::Scope, 5> scopes = {
        PickerViewModel::Scope::all, PickerViewModel::Scope::pinned, PickerViewModel::Scope::shortcodes,
        PickerViewModel::Scope::emoticons, PickerViewModel::Scope::glyphs};

    CollectionsRowView(PickerViewModel& model, CollectionsStore& collections,
                       std::function<void()> openSettings, QWidget* parent = nullptr);

    static QString title(PickerViewModel::Scope scope);

    PickerTileButton* chip(PickerViewModel::Scope scope) const;
    bool isChipSelected(PickerViewModel::Scope scope) const;
    bool isChipEnabled(PickerViewModel::Scope scope) const;
    TopRowAccessoryControls* accessoryControls() const { return accessories_; }

  private:
    struct Chip {
        PickerTileButton* button = nullptr;
        bool selected = false;
        bool enabled = true;
    };

    void refresh();
    static std::size_t position(PickerViewModel::Scope scope);

    PickerViewModel& model_;
    CollectionsStore& collections_;
    std::array<Chip, 5> chips_{};
    TopRowAccessoryControls* accessories_;
    DeferredRefresh refresh_;
};

}  // namespace mosaiko

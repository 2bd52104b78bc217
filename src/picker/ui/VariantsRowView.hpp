#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "picker/PickerViewModel.hpp"
#include "picker/ui/DeferredRefresh.hpp"

class QHBoxLayout;
class QPropertyAnimation;
class QScrollArea;

namespace mosaiko {

class PreferencesStore;
class PickerTileButton;
class TopRowAccessoryControls;
class MixedToneVariantMatrix;
class MixedTonePopover;

// The top row while the selected result has skin tones: one button per single-tone (or untoned)
// option, a "Mix" button that opens the 5 x 5 matrix of mixed tones for two-person emoji, then the
// accessory controls. It mirrors the model's variant selection, so keys and pointer show the same.
class VariantsRowView : public QWidget {
    Q_OBJECT

  public:
    VariantsRowView(PickerViewModel& model, PreferencesStore& prefs, std::function<void()> openSettings,
                    QWidget* parent = nullptr);
    ~VariantsRowView() override;

    // The row comes back in place of the scope chips: the mix button starts unhovered.
    void resetHoverState();
    // Scrolls the selected quick variant (else the first) to the leading edge, without animation.
    void scrollToCurrentSelection();

    // Option index and button of each quick variant, in option order.
    const std::vector<std::pair<int, PickerTileButton*>>& quickButtons() const { return quickButtons_; }
    PickerTileButton* mixButton() const { return mixButton_; }
    bool isQuickVariantSelected(int optionIndex) const;
    bool isMixHighlighted() const;
    bool isHoveringMixButton() const { return hoveringMix_; }
    // The popover window holding the matrix, and the matrix.
    QWidget* popover() const;
    MixedToneVariantMatrix* matrix() const;
    double stripOpacity() const;
    TopRowAccessoryControls* accessoryControls() const { return accessories_; }

  protected:
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void refresh();
    void rebuildButtons();
    void layoutStrip();
    void syncPopover();
    void clickQuickVariant(int index, Qt::KeyboardModifiers modifiers);
    void selectFromMatrix(int index);
    bool keepOpen(Qt::KeyboardModifiers modifiers) const;
    bool supportsMatrix() const;
    void centreOnVariant(int index);

    PickerViewModel& model_;
    PreferencesStore& prefs_;
    QScrollArea* strip_;
    QWidget* stripContent_;
    QHBoxLayout* stripLayout_;
    QPropertyAnimation* scrollAnimation_;
    std::vector<std::pair<int, PickerTileButton*>> quickButtons_;
    PickerTileButton* mixButton_;
    TopRowAccessoryControls* accessories_;
    MixedTonePopover* popover_;
    std::optional<std::string> shownEntryID_;
    std::vector<PickerViewModel::Option> shownOptions_;
    bool hoveringMix_ = false;
    Qt::KeyboardModifiers matrixClickModifiers_;
    std::optional<int> pendingKeyboardScroll_;
    bool pendingScrollToSelection_ = false;
    bool behind_ = false;  // changes went by while the row was set aside
    DeferredRefresh refresh_;
};

}  // namespace mosaiko

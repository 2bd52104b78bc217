#pragma once

#include <QWidget>
#include <optional>
#include <string>
#include <vector>

class QLabel;

namespace mosaiko {

class LibraryViewModel;
class MixedTonePopover;

// The inspector's "Variants": one cell per untoned or single-tone option of the selected entry,
// then, for two-person emoji, "Mix", which opens the mixed skin-tone matrix above it. The pointer
// over a cell or a matrix tile previews that variant; a click chooses and remembers it.
class LibraryVariantStripView final : public QWidget {
    Q_OBJECT

  public:
    explicit LibraryVariantStripView(LibraryViewModel& model, QWidget* parent = nullptr);
    ~LibraryVariantStripView() override;

    // Call after the selection or its variant changed.
    void refresh();

    // The option index of each cell, in option order.
    const std::vector<int>& shownOptionIndices() const { return shownIndices_; }
    QWidget* cellForOption(int optionIndex) const;
    // Null when the selected entry has no mixed tones.
    QWidget* mixButton() const;
    bool isMixHighlighted() const;
    bool isShowingMixedTonePopover() const { return showingPopover_; }
    MixedTonePopover* popover() const { return popover_; }
    std::optional<int> hoveredVariantIndex() const { return hovered_; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class Cell;

    void rebuild();
    void placeCells();
    void updateLooks();
    void setHovered(std::optional<int> index);
    void setShowingPopover(bool showing);
    void choose(int index);

    LibraryViewModel& model_;
    QLabel* title_;
    std::optional<std::string> shownEntryID_;
    std::vector<int> shownIndices_;
    std::vector<Cell*> cells_;
    Cell* mix_ = nullptr;
    std::optional<int> hovered_;
    bool hoveringMix_ = false;
    bool showingPopover_ = false;
    MixedTonePopover* popover_;
};

}  // namespace mosaiko

#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "content/EmojiEntry.hpp"
#include "picker/ui/ClickTracker.hpp"

namespace mosaiko {

// The skin tones of a two-person emoji as a 5 x 5 grid: the row is the first person's tone, the
// column the second person's, light to dark. It only mirrors the selected option index its owner
// gives it and reports option indices through its two callbacks; the picker and the library each
// show it in their own popover.
class MixedToneVariantMatrix : public QWidget {
    Q_OBJECT

  public:
    static constexpr std::array<SkinTone, 5> toneOrder = {
        SkinTone::light, SkinTone::mediumLight, SkinTone::medium, SkinTone::mediumDark, SkinTone::dark};

    explicit MixedToneVariantMatrix(QWidget* parent = nullptr);

    void setVariants(const EmojiEntry::Variants& variants);
    const EmojiEntry::Variants& variants() const { return variants_; }
    // Any value; one that names no cell selects nothing.
    void setSelectedIndex(int index);
    int selectedIndex() const { return selectedIndex_; }

    // Called with the option index of a clicked cell.
    std::function<void(int)> onSelect;
    // Called with the option index of the cell under a moving pointer; unset means no reports.
    std::function<void(int)> onHoverSelect;

    std::optional<int> hoveredIndex() const { return hoveredIndex_; }
    // The option index shown in a cell, or none for an empty tile.
    std::optional<int> optionIndexAt(int row, int column) const;
    QRect cellRect(int row, int column) const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;

  private:
    struct Cell {
        int row;
        int column;
    };
    std::optional<Cell> cellAt(const QPoint& position) const;
    // The option index of the cell under the pointer; none off the cells and on an empty cell.
    std::optional<int> indexAt(const QMouseEvent& event) const;
    void rebuildIndices();

    EmojiEntry::Variants variants_;
    int selectedIndex_ = -1;
    std::optional<int> hoveredIndex_;
    ClickTracker clicks_;
    std::array<std::array<std::optional<int>, 5>, 5> indices_{};
};

}  // namespace mosaiko

#pragma once

#include <QAbstractScrollArea>
#include <optional>
#include <utility>
#include <vector>

#include "picker/PickerViewModel.hpp"
#include "picker/ui/ClickTracker.hpp"
#include "picker/ui/DeferredRefresh.hpp"
#include "picker/ui/EmojiCell.hpp"

class QPropertyAnimation;

namespace mosaiko {

class PreferencesStore;
class CollectionsStore;

// The picker's strip of results: hovering selects (once the panel allows hover), a click inserts,
// the context menu pins or unpins, and keyboard moves scroll the selection into the middle. It
// draws only the tiles in view: a search may give thousands of results, and a widget per result
// made every keystroke lay them all out again.
class MainRowView : public QAbstractScrollArea {
    Q_OBJECT

  public:
    static constexpr int spacing = 8;

    MainRowView(PickerViewModel& model, PreferencesStore& prefs, CollectionsStore& collections,
                QWidget* parent = nullptr);
    ~MainRowView() override;

    // What the cell of the result at `index` shows.
    static EmojiCell::Content cellContent(const EmojiEntry& entry, int index, const PickerViewModel& model,
                                          const PreferencesStore& prefs, const CollectionsStore& collections);

    // Scrolls so that the selected cell sits at the leading edge, without animation.
    void scrollToCurrentSelection();

    // The tiles laid out (one per result), where the one at `index` lies in the viewport, and which
    // lies under a viewport point (none between tiles).
    int cellCount() const { return static_cast<int>(lefts_.size()); }
    QRect cellRect(int index) const;
    std::optional<int> indexAt(QPoint viewportPoint) const;
    // The tiles the last redraw painted, with what each showed.
    const std::vector<std::pair<int, EmojiCell::Content>>& paintedCells() const { return painted_; }

    // The title of the context menu's one item for the result at `index`.
    QString pinActionTitle(int index) const;
    void togglePinned(int index);
    double rowOpacity() const { return opacity_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    // A tile as the viewport shows it, and how the strip was shown.
    struct ShownTile {
        QRect bounds;
        EmojiCell::Content content;
        bool operator==(const ShownTile&) const = default;
    };
    struct View {
        int offset = -1;
        QSize size;
        double opacity = 0;
        bool operator==(const View&) const = default;
    };

    void refresh();
    // Calls f(index, bounds, content) for each tile that meets `area` (viewport coordinates).
    template <class F>
    void forEachTileIn(const QRect& area, F f) const;
    std::vector<ShownTile> tilesInView() const;
    // Marks for drawing what differs from what the viewport was last asked to show.
    void updateChangedTiles();
    void layOutCells();
    void updateScrollRange();
    // Asks the model for the results the strip will reach soon.
    void buildAhead();
    void clickCell(int index, Qt::KeyboardModifiers modifiers);
    void showContextMenu(int index, const QPoint& globalPosition);
    void centreOn(int index);
    int contentWidth() const;

    PickerViewModel& model_;
    PreferencesStore& prefs_;
    CollectionsStore& collections_;
    QPropertyAnimation* scrollAnimation_;
    // The tiles' left edges and widths in the strip, in result order.
    std::vector<int> lefts_;
    std::vector<int> widths_;
    bool layoutStale_ = true;
    double opacity_ = 1.0;
    std::vector<std::pair<int, EmojiCell::Content>> painted_;
    std::vector<ShownTile> shownTiles_;
    View shownView_;
    ClickTracker clicks_;
    int shownSelectedIndex_;
    bool pendingScrollToSelection_ = false;
    DeferredRefresh refresh_;
};

}  // namespace mosaiko

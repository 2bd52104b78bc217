#pragma once

#include <QScrollArea>
#include <memory>
#include <vector>

#include "picker/PickerViewModel.hpp"
#include "picker/ui/DeferredRefresh.hpp"
#include "picker/ui/EmojiCell.hpp"

class QGraphicsOpacityEffect;
class QHBoxLayout;
class QPropertyAnimation;

namespace mosaiko {

class PreferencesStore;
class CollectionsStore;

// The picker's strip of results, one cell per result: hovering selects (once the panel allows
// hover), a click inserts, the context menu pins or unpins, and keyboard moves scroll the selection
// into the middle.
class MainRowView : public QScrollArea {
    Q_OBJECT

  public:
    MainRowView(PickerViewModel& model, PreferencesStore& prefs, CollectionsStore& collections,
                QWidget* parent = nullptr);
    ~MainRowView() override;

    // What the cell of the result at `index` shows.
    static EmojiCell::Content cellContent(const EmojiEntry& entry, int index, const PickerViewModel& model,
                                          const PreferencesStore& prefs, const CollectionsStore& collections);

    // Scrolls so that the selected cell sits at the leading edge, without animation.
    void scrollToCurrentSelection();

    // The cells on show, in result order (for tests and the renderer).
    std::vector<EmojiCell*> cells() const;
    // The title of the context menu's one item for the result at `index`.
    QString pinActionTitle(int index) const;
    void togglePinned(int index);
    double rowOpacity() const;

  protected:
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void refresh();
    void layoutContent();
    void clickCell(int index, Qt::KeyboardModifiers modifiers);
    void hoverCell(int index);
    void showContextMenu(int index, const QPoint& globalPosition);
    void centreOn(int index);

    PickerViewModel& model_;
    PreferencesStore& prefs_;
    CollectionsStore& collections_;
    QWidget* content_;
    QHBoxLayout* layout_;
    QGraphicsOpacityEffect* opacity_;
    QPropertyAnimation* scrollAnimation_;
    std::vector<EmojiCell*> cells_;
    int shownSelectedIndex_;
    bool pendingScrollToSelection_ = false;
    DeferredRefresh refresh_;
};

}  // namespace mosaiko

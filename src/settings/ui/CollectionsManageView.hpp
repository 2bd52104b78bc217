#pragma once

#include <QWidget>
#include <map>
#include <memory>
#include <string>

#include "settings/CollectionsManageRules.hpp"

class QCheckBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

namespace mosaiko {

class CollectionsPinRow;
class CollectionsStore;
class DeferredRefresh;
class EmojiDatabase;
class PreferencesStore;

// Pins management: the two preferences that decide how pins take part in search, and the pinned
// entries in pin order, each with its search alias, moves and unpin. Every control writes the
// stores at once; the screen follows every change of them (also one made elsewhere), updating its
// rows in place, keyed by id.
//
// Embedded in the settings window it opens with the pins header card, scrolls, and sizes its list
// from the height it is given; standalone it has a fixed size, a plain title and "Close".
class CollectionsManageView final : public QWidget {
    Q_OBJECT

  public:
    CollectionsManageView(bool isEmbeddedInSettings, CollectionsStore& collections, EmojiDatabase& db,
                          PreferencesStore& prefs, QWidget* parent = nullptr);
    ~CollectionsManageView() override;

    // The rows in pin order.
    std::vector<CollectionsPinRow*> rows() const;
    CollectionsPinRow* row(const std::string& itemID) const;
    QLabel* emptyLabel() const { return emptyLabel_; }
    QCheckBox* showPinsFirstToggle() const { return showPinsFirst_; }
    QCheckBox* pinSortingToggle() const { return pinSorting_; }
    QScrollArea* list() const { return list_; }
    QPushButton* closeButton() const { return close_; }

    // Rebuilds from the stores now (the screen does this on its own after every change).
    void refresh();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QWidget* buildContent();
    void unpin(const std::string& itemID);

    bool isEmbeddedInSettings_;
    CollectionsStore& collections_;
    EmojiDatabase& db_;
    PreferencesStore& prefs_;
    QCheckBox* showPinsFirst_ = nullptr;
    QCheckBox* pinSorting_ = nullptr;
    QScrollArea* list_ = nullptr;
    QVBoxLayout* rowsLayout_ = nullptr;
    QLabel* emptyLabel_ = nullptr;
    QWidget* content_ = nullptr;
    QPushButton* close_ = nullptr;
    std::map<std::string, CollectionsPinRow*> rows_;
    std::unique_ptr<DeferredRefresh> refresh_;
};

}  // namespace mosaiko

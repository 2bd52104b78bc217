#pragma once

#include <QScrollArea>
#include <map>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QVBoxLayout;

namespace mosaiko {

class LibraryViewModel;
class PinsManagementRow;
class PreferencesStore;

// The pins tab: the two preferences that shape how pins take part in search, and the pinned
// entries the search lets through, each with its alias, move, Insert and Unpin. Rows are kept per
// pin and only reordered and refilled, so an alias field keeps its text and the focus while the
// user types in it.
class LibraryPinsPane final : public QScrollArea {
    Q_OBJECT

  public:
    LibraryPinsPane(LibraryViewModel& model, PreferencesStore& prefs, QWidget* parent = nullptr);

    // Call after the model or the preferences changed.
    void refresh();

    QCheckBox* showPinsFirstToggle() const { return showPinsFirst_; }
    QCheckBox* pinSortingToggle() const { return pinSorting_; }
    // The text shown instead of rows; hidden while there are rows.
    QLabel* emptyText() const { return empty_; }
    PinsManagementRow* row(const std::string& id) const;
    // The ids of the rows, top to bottom.
    std::vector<std::string> rowOrder() const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    LibraryViewModel& model_;
    PreferencesStore& prefs_;
    QCheckBox* showPinsFirst_;
    QCheckBox* pinSorting_;
    QVBoxLayout* rowsLayout_;
    QLabel* empty_;
    std::map<std::string, PinsManagementRow*> rows_;
    std::vector<std::string> order_;
};

}  // namespace mosaiko

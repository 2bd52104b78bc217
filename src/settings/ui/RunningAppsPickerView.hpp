#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "content/ExcludedApp.hpp"
#include "settings/RunningAppsRules.hpp"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace mosaiko {

class Workspace;

// The sheet in which the user picks running applications to exclude. It reads the running
// applications when it opens and on "Refresh", one row per identifier, narrowed by the search text;
// the selection holds identifiers, so it survives searching and refreshing. "Add Selected" hands
// the selected applications (hidden ones included) to `onAdd` and closes the sheet.
class RunningAppsPickerView final : public QDialog {
    Q_OBJECT

  public:
    using Snapshot = RunningAppsRules::RunningAppSnapshot;
    using Option = RunningAppsRules::RunningAppOption;
    using SnapshotsProvider = std::function<std::vector<Snapshot>()>;
    using AddHandler = std::function<void(const std::vector<ExcludedApp>&)>;

    RunningAppsPickerView(AddHandler onAdd, SnapshotsProvider appSnapshotsProvider,
                          QWidget* parent = nullptr);

    // The workspace's running applications.
    static SnapshotsProvider liveAppSnapshots(const Workspace& workspace);

    // Reads the running applications again, without this program; keeps the query and the selection.
    void refresh();

    const std::vector<Option>& apps() const { return apps_; }
    const std::set<std::string>& selection() const { return selection_; }
    QLineEdit* searchField() const { return search_; }
    QListWidget* list() const { return list_; }
    QPushButton* refreshButton() const { return refreshButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QPushButton* addButton() const { return addButton_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void showRows();
    void takeSelectionFromList();
    void addSelected();

    AddHandler onAdd_;
    SnapshotsProvider appSnapshotsProvider_;
    std::vector<Option> apps_;
    std::set<std::string> selection_;
    bool showingRows_ = false;
    QLineEdit* search_ = nullptr;
    QListWidget* list_ = nullptr;
    QPushButton* refreshButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* addButton_ = nullptr;
};

}  // namespace mosaiko

#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "settings/SettingsState.hpp"

class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

namespace mosaiko {

class DeferredRefresh;
class SelectAllTextField;

// The sheet in which the user sets the inline-search trigger and edits the opening blocklist. It
// shows the settings state's drafts and changes them only through the state's operations; nothing
// reaches the store before OK.
class CustomSearchTriggerEditorSheet final : public QDialog {
  public:
    CustomSearchTriggerEditorSheet(SettingsState& state, QWidget* parent = nullptr);
    ~CustomSearchTriggerEditorSheet() override;

    SelectAllTextField* triggerField() const { return triggerField_; }
    SelectAllTextField* entryField() const { return entryField_; }
    QLabel* previewLabel() const { return preview_; }
    QLabel* entryPreviewLabel() const { return entryPreview_; }
    QLabel* emptyListLabel() const { return emptyList_; }
    QScrollArea* listArea() const { return listArea_; }
    // The visible sequence of each row, in order, and each row's Remove button.
    std::vector<QLabel*> rowLabels() const;
    std::vector<QPushButton*> removeButtons() const;
    QPushButton* addButton() const { return add_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

  private:
    void refresh();
    void rebuildList();

    SettingsState& state_;
    SelectAllTextField* triggerField_ = nullptr;
    SelectAllTextField* entryField_ = nullptr;
    QLabel* preview_ = nullptr;
    QLabel* emptyList_ = nullptr;
    QScrollArea* listArea_ = nullptr;
    QVBoxLayout* rows_ = nullptr;
    QWidget* entryPreviewRow_ = nullptr;
    QLabel* entryPreview_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::vector<std::string> shownEntries_;
    bool listBuilt_ = false;
    std::unique_ptr<DeferredRefresh> refresh_;
};

}  // namespace mosaiko

#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "content/CustomSnippet.hpp"
#include "library/ui/SnippetEditView.hpp"

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

namespace mosaiko {

class CustomContentStore;
class DeferredRefresh;
class PreferencesStore;

// Snippet management: a form that adds a snippet (its shortcodes and keywords parsed on Add), and
// the user's snippets, each with "Edit…" (the library's snippet edit sheet) and a delete that asks
// first. Every change goes to the snippet store at once; the list always shows the store's list.
//
// Embedded in the settings window it opens with its header card, scrolls, and sizes its list from
// the height it is given; standalone it has a fixed size, a title naming the trigger and "Close".
class SnippetsManageView final : public QWidget {
    Q_OBJECT

  public:
    SnippetsManageView(bool isEmbeddedInSettings, CustomContentStore& custom, PreferencesStore& prefs,
                       QWidget* parent = nullptr);
    ~SnippetsManageView() override;

    QLineEdit* nameField() const { return name_; }
    QLineEdit* shortcodesField() const { return shortcodes_; }
    QLineEdit* insertTextField() const { return insertText_; }
    QLineEdit* keywordsField() const { return keywords_; }
    QPushButton* addButton() const { return add_; }
    QScrollArea* list() const { return list_; }
    QLabel* emptyLabel() const { return emptyLabel_; }
    QPushButton* closeButton() const { return close_; }
    // The snippet rows' Edit… and delete buttons, in list order.
    std::vector<QPushButton*> editButtons() const;
    std::vector<QPushButton*> deleteButtons() const;
    // The edit sheet and the delete confirmation while they are up.
    SnippetEditView* editSheet() const { return editSheet_; }
    QMessageBox* deleteAlert() const { return deleteAlert_; }
    const std::optional<std::string>& deleteSnippetID() const { return deleteSnippetID_; }

    void refresh();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QWidget* buildContent();
    void updateAddEnabled();
    void addSnippet();
    void editSnippet(const CustomSnippet& snippet);
    void requestDelete(const std::string& id);

    bool isEmbeddedInSettings_;
    CustomContentStore& custom_;
    PreferencesStore& prefs_;
    QLabel* subtitle_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLineEdit* shortcodes_ = nullptr;
    QLineEdit* insertText_ = nullptr;
    QLineEdit* keywords_ = nullptr;
    QPushButton* add_ = nullptr;
    QWidget* content_ = nullptr;
    QScrollArea* list_ = nullptr;
    QVBoxLayout* rowsLayout_ = nullptr;
    QLabel* emptyLabel_ = nullptr;
    QPushButton* close_ = nullptr;
    QPointer<SnippetEditView> editSheet_;
    QPointer<QMessageBox> deleteAlert_;
    std::optional<std::string> deleteSnippetID_;
    std::unique_ptr<DeferredRefresh> refresh_;
};

}  // namespace mosaiko

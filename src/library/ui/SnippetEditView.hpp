#pragma once

#include <QDialog>
#include <functional>

#include "content/CustomSnippet.hpp"

class QLineEdit;
class QPushButton;

namespace mosaiko {

class TokenField;

// The sheet that edits one snippet: name, shortcodes, insert text and keywords. It works on a
// copy and hands it back only through "Save"; "Cancel", Escape or closing the sheet drop it. The
// sheet never writes a store: its opener stores what `onSave` receives.
//
// Openers show it window-modal over their own window with present(); finished() tells them that
// it closed, either way.
class SnippetEditView final : public QDialog {
    Q_OBJECT

  public:
    using SaveHandler = std::function<void(const CustomSnippet&)>;

    SnippetEditView(CustomSnippet draft, SaveHandler onSave, QWidget* parent = nullptr);

    // Opens a sheet over `parent` that deletes itself once it is closed.
    static SnippetEditView* present(CustomSnippet draft, SaveHandler onSave, QWidget* parent);

    // Whether a draft may be saved: a name and an insert text that are not blank, and at least one
    // shortcode. Keywords may be empty, and other snippets are not looked at.
    static bool canSave(const CustomSnippet& draft);

    const CustomSnippet& draft() const { return draft_; }

    QLineEdit* nameField() const { return name_; }
    TokenField* shortcodesField() const { return shortcodes_; }
    QLineEdit* insertField() const { return insertText_; }
    TokenField* keywordsField() const { return keywords_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* cancelButton() const { return cancel_; }

  private:
    void draftChanged();
    void saveDraft();

    CustomSnippet draft_;
    SaveHandler onSave_;
    QLineEdit* name_;
    TokenField* shortcodes_;
    QLineEdit* insertText_;
    TokenField* keywords_;
    QPushButton* cancel_;
    QPushButton* save_;
};

}  // namespace mosaiko

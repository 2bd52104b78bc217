#include "library/ui/SnippetEditView.hpp"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "library/ui/LibraryPalette.hpp"
#include "library/ui/TokenField.hpp"
#include "platform/Text.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

QLabel* plainLabel(const QString& text, const QFont& font, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    return label;
}

void addRow(QVBoxLayout* rows, const QString& title, QLineEdit* field, const QString& placeholder) {
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    auto* label = plainLabel(title, Typography::system(13), field->parentWidget());
    label->setFixedWidth(80);
    label->setAlignment(Qt::AlignLeading | Qt::AlignVCenter);
    field->setPlaceholderText(placeholder);
    row->addWidget(label);
    row->addWidget(field, 1);
    rows->addLayout(row);
}

}  // namespace

SnippetEditView::SnippetEditView(CustomSnippet draft, SaveHandler onSave, QWidget* parent)
    : QDialog(parent), draft_(std::move(draft)), onSave_(std::move(onSave)) {
    setWindowTitle(QStringLiteral("Edit Snippet"));
    LibraryPalette::follow(*this);
    setFixedSize(620, 420);

    auto* root = new QVBoxLayout(this);
    root->setSpacing(14);
    root->setContentsMargins(16, 16, 16, 16);
    root->addWidget(
        plainLabel(QStringLiteral("Edit Snippet"), Typography::system(16, QFont::DemiBold), this));

    auto* box = new QGroupBox(this);
    auto* rows = new QVBoxLayout(box);
    rows->setSpacing(10);
    rows->setContentsMargins(10, 4 + 6, 10, 4 + 6);
    name_ = new QLineEdit(box);
    shortcodes_ = new TokenField(box);
    insertText_ = new QLineEdit(box);
    keywords_ = new TokenField(box);
    addRow(rows, QStringLiteral("Name"), name_, QStringLiteral("Name"));
    addRow(rows, QStringLiteral("Shortcodes"), shortcodes_, QStringLiteral("Shortcodes"));
    addRow(rows, QStringLiteral("Insert"), insertText_, QStringLiteral("Insert text"));
    addRow(rows, QStringLiteral("Keywords"), keywords_, QStringLiteral("Keywords"));
    root->addWidget(box);
    root->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    save_ = new QPushButton(QStringLiteral("Save"), this);
    LibraryPalette::makeProminent(*save_);
    // Return in a field saves nothing: no button answers it.
    for (QPushButton* button : {cancel_, save_}) {
        button->setAutoDefault(false);
        button->setDefault(false);
        buttons->addWidget(button);
    }
    root->addLayout(buttons);

    name_->setText(QString::fromStdString(draft_.name));
    insertText_->setText(QString::fromStdString(draft_.insertText));
    shortcodes_->setTokens(draft_.shortcodes);
    keywords_->setTokens(draft_.keywords);

    connect(name_, &QLineEdit::textEdited, this, [this](const QString& text) {
        draft_.name = text.toStdString();
        draftChanged();
    });
    connect(insertText_, &QLineEdit::textEdited, this, [this](const QString& text) {
        draft_.insertText = text.toStdString();
        draftChanged();
    });
    shortcodes_->onTokensChanged = [this](const std::vector<std::string>& tokens) {
        draft_.shortcodes = tokens;
        draftChanged();
    };
    keywords_->onTokensChanged = [this](const std::vector<std::string>& tokens) {
        draft_.keywords = tokens;
        draftChanged();
    };
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(save_, &QPushButton::clicked, this, [this] { saveDraft(); });
    draftChanged();
}

SnippetEditView* SnippetEditView::present(CustomSnippet draft, SaveHandler onSave, QWidget* parent) {
    auto* sheet = new SnippetEditView(std::move(draft), std::move(onSave), parent);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
    return sheet;
}

bool SnippetEditView::canSave(const CustomSnippet& draft) {
    return !text::isBlank(draft.name) && !text::isBlank(draft.insertText) && !draft.shortcodes.empty();
}

void SnippetEditView::draftChanged() {
    save_->setEnabled(canSave(draft_));
}

void SnippetEditView::saveDraft() {
    if (!canSave(draft_)) return;
    // The draft goes out as typed; the store trims the name and text when it keeps them.
    if (onSave_) onSave_(draft_);
    accept();
}

}  // namespace mosaiko

#include "settings/ui/SnippetsManageView.hpp"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "content/CustomContentStore.hpp"
#include "content/PreferencesStore.hpp"
#include "library/ui/SnippetEditView.hpp"
#include "picker/ui/DeferredRefresh.hpp"
#include "picker/ui/PickerStyle.hpp"
#include "platform/qt/MixedTextLine.hpp"
#include "platform/qt/PlainToolTip.hpp"
#include "platform/qt/SymbolImage.hpp"
#include "platform/qt/Typography.hpp"
#include "settings/SnippetsManageRules.hpp"
#include "settings/ui/ManageHeaderCard.hpp"
#include "settings/ui/ManageViewFrame.hpp"
#include "settings/ui/SettingsStyle.hpp"

namespace mosaiko {

namespace {

const manage_view::Sizes sizes{SnippetsManageRules::standaloneWidth, SnippetsManageRules::standaloneHeight,
                               SnippetsManageRules::standaloneListHeight,
                               &SnippetsManageRules::embeddedListHeight};

// One snippet: its name over its first shortcode, its text on one line, "Edit…" and delete.
class SnippetManagementRow final : public QWidget {
  public:
    SnippetManagementRow(const CustomSnippet& snippet, std::function<void()> onEdit,
                         std::function<void()> onDelete, QWidget* parent)
        : QWidget(parent) {
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(4, 3, 4, 3);
        row->setSpacing(10);
        auto* names = new QVBoxLayout;
        names->setSpacing(3);
        name = SettingsStyle::elidedLabel(QString::fromStdString(snippet.name),
                                          Typography::system(12, QFont::DemiBold), false, this);
        names->addWidget(name);
        names->addWidget(
            SettingsStyle::elidedLabel(QString::fromStdString(SnippetsManageRules::shortcodeLine(snippet)),
                                       Typography::monospaced(11), true, this));
        // The names take what the text and the buttons leave.
        row->addLayout(names, 1);

        // One line: line breaks read as spaces here; the text itself is inserted as stored.
        QString text = QString::fromStdString(snippet.insertText);
        text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
        const auto fitted = PickerStyle::fit(text, Typography::system(11), 240, 0.6, true);
        auto* insertText = new MixedTextLabel(this);
        insertText->setText(fitted.text);
        insertText->setFont(fitted.font);
        SettingsStyle::setSecondary(insertText, true);
        insertText->setMaximumWidth(240);
        insertText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        insertText->setToolTip(plainToolTip(QString::fromStdString(snippet.insertText)));
        row->addWidget(insertText);

        edit = new QPushButton(tr("Edit\u2026"), this);
        edit->setAutoDefault(false);
        connect(edit, &QPushButton::clicked, this, [onEdit = std::move(onEdit)] { onEdit(); });
        row->addWidget(edit);
        remove = new QPushButton(this);
        remove->setFlat(true);
        remove->setAutoDefault(false);
        remove->setToolTip(tr("Delete"));
        updateIcon();
        connect(remove, &QPushButton::clicked, this, [onDelete = std::move(onDelete)] { onDelete(); });
        row->addWidget(remove);
    }

    ElidedLabel* name = nullptr;
    QPushButton* edit = nullptr;
    QPushButton* remove = nullptr;

  protected:
    void changeEvent(QEvent* event) override {
        QWidget::changeEvent(event);
        if (event->type() == QEvent::PaletteChange) updateIcon();
    }

  private:
    void updateIcon() {
        remove->setIcon(SymbolImage::icon(QStringLiteral("trash"), palette().color(QPalette::WindowText), 14,
                                          devicePixelRatioF()));
    }
};

}  // namespace

SnippetsManageView::SnippetsManageView(bool isEmbeddedInSettings, CustomContentStore& custom,
                                       PreferencesStore& prefs, QWidget* parent)
    : QWidget(parent), isEmbeddedInSettings_(isEmbeddedInSettings), custom_(custom), prefs_(prefs) {
    content_ = buildContent();  // makes the list
    manage_view::place(*this, content_, list_, isEmbeddedInSettings_, sizes);

    refresh_ = std::make_unique<DeferredRefresh>(this, [this] { refresh(); });
    refresh_->watch(custom_.snippets);
    refresh_->watch(prefs_.inlineTrigger);
    refresh();
}

SnippetsManageView::~SnippetsManageView() = default;

QWidget* SnippetsManageView::buildContent() {
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(14);
    if (isEmbeddedInSettings_) {
        column->addWidget(new ManageHeaderCard(
            {QStringLiteral("text.badge.plus"),
             tr("Shortcodes"),
             tr("Create your own aliases and text snippets for fast insertion."),
             {{SettingsStyle::indigo(), 0.34, 0.22}, {SettingsStyle::blue(), 0.24, 0.16}}}));
    } else {
        column->addWidget(SettingsStyle::label(tr("Custom Shortcodes & Snippets"), 16, QFont::DemiBold));
        subtitle_ = SettingsStyle::wrappingLabel({}, 12);
        column->addWidget(subtitle_);
    }

    auto* form = new QGroupBox(tr("Add Snippet"), content);
    auto* fields = new QVBoxLayout(form);
    fields->setSpacing(10);
    const auto field = [&](const QString& label, const QString& placeholder) {
        auto* row = new QHBoxLayout;
        row->setSpacing(10);
        QLabel* title = SettingsStyle::label(label, 13, QFont::Normal, false, form);
        title->setFixedWidth(80);
        row->addWidget(title);
        auto* edit = new QLineEdit(form);
        edit->setPlaceholderText(placeholder);
        connect(edit, &QLineEdit::textChanged, this, &SnippetsManageView::updateAddEnabled);
        row->addWidget(edit, 1);
        fields->addLayout(row);
        return edit;
    };
    name_ = field(tr("Name"), tr("Shrug"));
    shortcodes_ = field(tr("Shortcodes"), tr("shrug, idk"));
    insertText_ = field(tr("Insert"), QStringLiteral("\u00AF\\_(\u30C4)_/\u00AF"));
    keywords_ = field(tr("Keywords"), tr("whatever, meh"));
    auto* actions = new QHBoxLayout;
    actions->addStretch(1);
    add_ = new QPushButton(tr("Add"), form);
    add_->setAutoDefault(false);
    connect(add_, &QPushButton::clicked, this, &SnippetsManageView::addSnippet);
    actions->addWidget(add_);
    fields->addLayout(actions);
    column->addWidget(form);

    auto* yours = new QGroupBox(tr("Your Snippets"), content);
    auto* yoursLayout = new QVBoxLayout(yours);
    emptyLabel_ = SettingsStyle::label(tr("No custom snippets yet."), 13, QFont::Normal, true);
    const auto list = manage_view::rowList(yours, emptyLabel_, QMargins(6, 4, 6, 4));
    list_ = list.scroll;
    rowsLayout_ = list.rows;
    yoursLayout->addWidget(list_);
    column->addWidget(yours);
    column->addStretch(1);

    if (!isEmbeddedInSettings_) close_ = manage_view::closeFooter(*this, content, column);
    updateAddEnabled();
    return content;
}

void SnippetsManageView::refresh() {
    if (subtitle_) {
        subtitle_->setText(
            QString::fromStdString(SnippetsManageRules::standaloneSubtitle(prefs_.inlineTrigger())));
    }
    while (rowsLayout_->count() > 2) {
        QLayoutItem* item = rowsLayout_->takeAt(1);
        if (QWidget* row = item->widget()) row->deleteLater();
        delete item;
    }
    const auto& snippets = custom_.snippets();
    emptyLabel_->setVisible(snippets.empty());
    int position = 1;
    for (const auto& snippet : snippets) {
        const std::string id = snippet.id;
        rowsLayout_->insertWidget(position++, new SnippetManagementRow(
                                                  snippet, [this, snippet] { editSnippet(snippet); },
                                                  [this, id] { requestDelete(id); }, list_->widget()));
    }
}

void SnippetsManageView::updateAddEnabled() {
    add_->setEnabled(SnippetsManageRules::canAddSnippet(
        name_->text().toStdString(), shortcodes_->text().toStdString(), insertText_->text().toStdString()));
}

void SnippetsManageView::addSnippet() {
    SnippetsManageRules::addSnippet(custom_,
                                    {name_->text().toStdString(), shortcodes_->text().toStdString(),
                                     insertText_->text().toStdString(), keywords_->text().toStdString()});
    for (QLineEdit* field : {name_, shortcodes_, insertText_, keywords_}) field->clear();
    // Ready for the next one: the form keeps the focus (the disabled Add would pass it on down the
    // list, which scrolls to it), and the new snippet, first in the list, shows at its top.
    name_->setFocus(Qt::OtherFocusReason);
    list_->verticalScrollBar()->setValue(0);
}

void SnippetsManageView::editSnippet(const CustomSnippet& snippet) {
    if (editSheet_) return;
    editSheet_ = SnippetEditView::present(
        snippet, [this](const CustomSnippet& edited) { custom_.updateSnippet(edited); }, this);
}

void SnippetsManageView::requestDelete(const std::string& id) {
    deleteSnippetID_ = id;
    if (deleteAlert_) return;
    auto* alert =
        new QMessageBox(QMessageBox::Warning, tr("Delete Snippet?"),
                        tr("This will remove the snippet and its shortcodes."), QMessageBox::NoButton, this);
    alert->setTextFormat(Qt::PlainText);
    QPushButton* remove = alert->addButton(tr("Delete"), QMessageBox::DestructiveRole);
    alert->addButton(QMessageBox::Cancel);
    alert->setDefaultButton(QMessageBox::Cancel);
    alert->setWindowModality(Qt::WindowModal);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    connect(alert, &QMessageBox::buttonClicked, this, [this, remove](QAbstractButton* clicked) {
        if (clicked == remove)
            deleteSnippetID_ = SnippetsManageRules::deleteSnippet(deleteSnippetID_, custom_);
    });
    deleteAlert_ = alert;
    alert->open();
}

std::vector<QPushButton*> SnippetsManageView::editButtons() const {
    std::vector<QPushButton*> buttons;
    for (int i = 0; i < rowsLayout_->count(); ++i) {
        if (auto* row = dynamic_cast<SnippetManagementRow*>(rowsLayout_->itemAt(i)->widget()))
            buttons.push_back(row->edit);
    }
    return buttons;
}

std::vector<QPushButton*> SnippetsManageView::deleteButtons() const {
    std::vector<QPushButton*> buttons;
    for (int i = 0; i < rowsLayout_->count(); ++i) {
        if (auto* row = dynamic_cast<SnippetManagementRow*>(rowsLayout_->itemAt(i)->widget()))
            buttons.push_back(row->remove);
    }
    return buttons;
}

void SnippetsManageView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    manage_view::fitList(*this, content_, list_, isEmbeddedInSettings_, sizes);
}

}  // namespace mosaiko

#include "settings/ui/CustomSearchTriggerEditorSheet.hpp"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "picker/ui/DeferredRefresh.hpp"
#include "platform/qt/Typography.hpp"
#include "settings/OpenModeRules.hpp"
#include "settings/ui/SelectAllTextField.hpp"
#include "settings/ui/SettingsStyle.hpp"

namespace mosaiko {

namespace {

QString visible(const std::string& sequence) {
    return QString::fromStdString(OpenModeRules::visibleSearchTrigger(sequence));
}

QVBoxLayout* group(int spacing) {
    auto* layout = new QVBoxLayout;
    layout->setSpacing(spacing);
    return layout;
}

}  // namespace

CustomSearchTriggerEditorSheet::CustomSearchTriggerEditorSheet(SettingsState& state, QWidget* parent)
    : QDialog(parent), state_(state) {
    setWindowTitle(QStringLiteral("Custom Inline Search"));
    setWindowModality(Qt::WindowModal);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(14);
    // 460 wide; as tall as its content.
    column->setSizeConstraint(QLayout::SetFixedSize);

    QLabel* title = SettingsStyle::label(QStringLiteral("Custom Inline Search"), 17, QFont::Bold);
    title->setMinimumWidth(460 - 40);  // the sheet's width
    column->addWidget(title);
    column->addWidget(SettingsStyle::wrappingLabel(
        QStringLiteral(
            "Enter the sequence that should start inline search. Spaces stay part of the sequence and "
            "are shown as visible symbols in the preview."),
        12));

    QVBoxLayout* trigger = group(6);
    trigger->addWidget(SettingsStyle::label(QStringLiteral("Sequence"), 11, QFont::DemiBold, true));
    triggerField_ = new SelectAllTextField(
        QString::fromStdString(state_.customSearchTriggerDraft()), true,
        [this] { state_.confirmCustomSearchTrigger(); },
        [this](const QString& text) { state_.setCustomSearchTriggerDraft(text.toStdString()); });
    trigger->addWidget(triggerField_);
    column->addLayout(trigger);

    QVBoxLayout* previewGroup = group(6);
    previewGroup->addWidget(
        SettingsStyle::label(QStringLiteral("Visible Preview"), 11, QFont::DemiBold, true));
    auto* previewBox = new BoxFrame(8, 0.1, 0.64);
    auto* previewLayout = new QHBoxLayout(previewBox);
    previewLayout->setContentsMargins(10, 8, 10, 8);
    preview_ = SettingsStyle::monospacedLabel(QString(), 12, QFont::DemiBold);
    previewLayout->addWidget(preview_, 1);
    previewGroup->addWidget(previewBox);
    column->addLayout(previewGroup);

    column->addWidget(
        SettingsStyle::codeSpanLabel({QString(), QStringLiteral(" = space. Control characters are ignored.")},
                                     {QStringLiteral("\u2420")}, 11));

    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setForegroundRole(QPalette::PlaceholderText);
    column->addWidget(divider);

    QVBoxLayout* blocklist = group(10);
    blocklist->addWidget(SettingsStyle::label(QStringLiteral("Opening Blocklist"), 13, QFont::DemiBold));
    blocklist->addWidget(SettingsStyle::wrappingLabel(
        QStringLiteral(
            "Blocked entries will close inline search after the full typed sequence matches. This way, "
            "you can continue typing."),
        11));
    emptyList_ =
        SettingsStyle::label(QStringLiteral("No blocked opening sequences."), 11, QFont::Normal, true);
    blocklist->addWidget(emptyList_);
    listArea_ = new QScrollArea;
    listArea_->setFrameShape(QFrame::NoFrame);
    listArea_->setWidgetResizable(true);
    listArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    listArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    listArea_->setMaximumHeight(148);
    auto* listContent = new QWidget;
    rows_ = new QVBoxLayout(listContent);
    rows_->setContentsMargins(0, 0, 0, 0);
    rows_->setSpacing(8);
    rows_->addStretch(1);
    listArea_->setWidget(listContent);
    listArea_->viewport()->setAutoFillBackground(false);
    listContent->setAutoFillBackground(false);
    blocklist->addWidget(listArea_);

    QVBoxLayout* addGroup = group(6);
    addGroup->addWidget(
        SettingsStyle::label(QStringLiteral("Add blocked sequence"), 11, QFont::DemiBold, true));
    auto* addRow = new QHBoxLayout;
    addRow->setSpacing(8);
    entryField_ = new SelectAllTextField(
        QString::fromStdString(state_.blocklistEntryDraft()), false,
        [this] { state_.addOpeningSequenceBlocklistEntry(); },
        [this](const QString& text) { state_.setBlocklistEntryDraft(text.toStdString()); });
    addRow->addWidget(entryField_, 1);
    add_ = new QPushButton(QStringLiteral("Add"));
    add_->setAutoDefault(false);
    connect(add_, &QPushButton::clicked, this, [this] { state_.addOpeningSequenceBlocklistEntry(); });
    addRow->addWidget(add_);
    addGroup->addLayout(addRow);
    entryPreview_ = SettingsStyle::codeSpanLabel({}, {}, 11);
    addGroup->addWidget(entryPreview_);
    blocklist->addLayout(addGroup);
    column->addLayout(blocklist);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cancel_ = new QPushButton(QStringLiteral("Cancel"));
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, [this] { state_.cancelCustomSearchTriggerEditor(); });
    buttons->addWidget(cancel_);
    ok_ = new QPushButton(QStringLiteral("OK"));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, [this] { state_.confirmCustomSearchTrigger(); });
    buttons->addWidget(ok_);
    column->addLayout(buttons);

    refresh_ = std::make_unique<DeferredRefresh>(this, [this] { refresh(); });
    refresh_->watch(state_.revision);
    refresh();
}

CustomSearchTriggerEditorSheet::~CustomSearchTriggerEditorSheet() = default;

std::vector<QLabel*> CustomSearchTriggerEditorSheet::rowLabels() const {
    std::vector<QLabel*> labels;
    for (QWidget* row : listArea_->widget()->findChildren<QWidget*>(QStringLiteral("blocklistRow"))) {
        labels.push_back(row->findChild<QLabel*>());
    }
    return labels;
}

std::vector<QPushButton*> CustomSearchTriggerEditorSheet::removeButtons() const {
    std::vector<QPushButton*> buttons;
    for (QWidget* row : listArea_->widget()->findChildren<QWidget*>(QStringLiteral("blocklistRow"))) {
        buttons.push_back(row->findChild<QPushButton*>());
    }
    return buttons;
}

void CustomSearchTriggerEditorSheet::refresh() {
    triggerField_->setBoundText(QString::fromStdString(state_.customSearchTriggerDraft()));
    entryField_->setBoundText(QString::fromStdString(state_.blocklistEntryDraft()));
    // The draft as typed, before cleaning.
    preview_->setText(visible(state_.customSearchTriggerDraft()));

    const bool empty = state_.customSearchTriggerBlocklistDraft().empty();
    emptyList_->setVisible(empty);
    listArea_->setVisible(!empty);
    rebuildList();

    const auto pending = state_.pendingBlocklistEntry();
    entryPreview_->setVisible(pending.has_value());
    if (pending)
        entryPreview_->setText(
            SettingsStyle::codeSpanMarkup({QStringLiteral("Preview: ")}, {visible(*pending)}));
    add_->setEnabled(state_.canAddPendingBlocklistEntry());
    ok_->setEnabled(state_.pendingCustomSearchTrigger().has_value());
}

void CustomSearchTriggerEditorSheet::rebuildList() {
    const auto& entries = state_.customSearchTriggerBlocklistDraft();
    if (listBuilt_ && entries == shownEntries_) return;
    listBuilt_ = true;
    shownEntries_ = entries;
    while (rows_->count() > 1) {
        QLayoutItem* item = rows_->takeAt(0);
        if (QWidget* row = item->widget()) {
            row->setObjectName(QString());
            row->hide();
            row->deleteLater();
        }
        delete item;
    }
    int index = 0;
    for (const std::string& entry : entries) {
        auto* row = new BoxFrame(9, 0.08, 0.62);
        row->setObjectName(QStringLiteral("blocklistRow"));
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(10, 7, 10, 7);
        layout->setSpacing(10);
        layout->addWidget(SettingsStyle::monospacedLabel(visible(entry), 12, QFont::DemiBold), 1);
        auto* remove = new QPushButton(QStringLiteral("Remove"));
        remove->setAutoDefault(false);
        // The entry as stored, whatever the row shows.
        connect(remove, &QPushButton::clicked, this,
                [this, entry] { state_.removeOpeningSequenceBlocklistEntry(entry); });
        layout->addWidget(remove);
        rows_->insertWidget(index++, row);
    }
}

}  // namespace mosaiko

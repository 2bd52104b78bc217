#include "settings/ui/CustomSearchTriggerEditorSheet.hpp"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "picker/ui/DeferredRefresh.hpp"
#include "platform/qt/Typography.hpp"
#include "settings/OpenModeRules.hpp"
#include "settings/ui/SelectAllTextField.hpp"
#include "settings/ui/SettingsStyle.hpp"

namespace mosaiko {

namespace {

constexpr int kMaximumListHeight = 148;

QString visible(const std::string& sequence) {
    return QString::fromStdString(OpenModeRules::visibleSearchTrigger(sequence));
}

QVBoxLayout* group(int spacing) {
    auto* layout = new QVBoxLayout;
    layout->setSpacing(spacing);
    return layout;
}

// A sequence in a secondary note, in the monospaced font with its visible-space symbols.
SequenceLabel* noteSequence(const QString& text) {
    auto* label = new SequenceLabel(text);
    label->setFont(Typography::monospaced(11));
    SettingsStyle::setSecondary(label, true);
    return label;
}

// A note's words and its sequence on one line.
QWidget* noteRow(QLabel* first, QLabel* second) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(first);
    layout->addWidget(second);
    layout->addStretch(1);
    return row;
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
    preview_ = new SequenceLabel;
    preview_->setFont(Typography::monospaced(12, QFont::DemiBold));
    previewLayout->addWidget(preview_, 1);
    previewGroup->addWidget(previewBox);
    column->addLayout(previewGroup);

    column->addWidget(noteRow(noteSequence(QStringLiteral("\u2420")),
                              SettingsStyle::label(QStringLiteral("= space. Control characters are ignored."),
                                                   11, QFont::Normal, true)));

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
    // A scroll bar only when the rows need more than the box's 148 pt.
    listArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
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
    entryPreview_ = noteSequence({});
    entryPreviewRow_ =
        noteRow(SettingsStyle::label(QStringLiteral("Preview:"), 11, QFont::Normal, true), entryPreview_);
    addGroup->addWidget(entryPreviewRow_);
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

    rebuildList();

    const auto pending = state_.pendingBlocklistEntry();
    entryPreviewRow_->setVisible(pending.has_value());
    if (pending) entryPreview_->setText(visible(*pending));
    add_->setEnabled(state_.canAddPendingBlocklistEntry());
    ok_->setEnabled(state_.pendingCustomSearchTrigger().has_value());
}

void CustomSearchTriggerEditorSheet::rebuildList() {
    const auto& entries = state_.customSearchTriggerBlocklistDraft();
    if (listBuilt_ && entries == shownEntries_) return;
    listBuilt_ = true;
    shownEntries_ = entries;

    // A Remove that had the focus goes away with its row: the focus passes to the row that takes
    // its place (or to the entry field), not along the focus chain, which would select the
    // trigger field's text again; and the list stays where it was scrolled to.
    const std::vector<QPushButton*> oldButtons = removeButtons();
    const auto focused = std::find(oldButtons.begin(), oldButtons.end(), QApplication::focusWidget());
    const std::ptrdiff_t focusedRow = focused == oldButtons.end() ? -1 : focused - oldButtons.begin();
    if (focusedRow >= 0) listArea_->setFocus(Qt::OtherFocusReason);
    const int scrolledTo = listArea_->verticalScrollBar()->value();

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
        auto* sequence = new SequenceLabel(visible(entry));
        sequence->setFont(Typography::monospaced(12, QFont::DemiBold));
        layout->addWidget(sequence, 1);
        auto* remove = new QPushButton(QStringLiteral("Remove"));
        remove->setAutoDefault(false);
        // The entry as stored, whatever the row shows.
        connect(remove, &QPushButton::clicked, this,
                [this, entry] { state_.removeOpeningSequenceBlocklistEntry(entry); });
        layout->addWidget(remove);
        rows_->insertWidget(index++, row);
        row->show();  // counted in the height below at once, not when the layout shows it later
    }

    // The box grows with its rows up to 148 pt and scrolls beyond.
    const bool empty = entries.empty();
    rows_->activate();
    const int wanted = std::min(kMaximumListHeight, rows_->sizeHint().height());
    listArea_->setFixedHeight(empty ? 0 : wanted);
    listArea_->widget()->resize(listArea_->viewport()->width(), rows_->sizeHint().height());
    listArea_->verticalScrollBar()->setValue(scrolledTo);

    if (focusedRow >= 0) {
        const std::vector<QPushButton*> buttons = removeButtons();
        if (buttons.empty()) {
            entryField_->setFocus(Qt::OtherFocusReason);
        } else {
            QPushButton* next =
                buttons[std::min<std::size_t>(static_cast<std::size_t>(focusedRow), buttons.size() - 1)];
            next->setFocus(Qt::OtherFocusReason);
        }
    }
    emptyList_->setVisible(empty);
    listArea_->setVisible(!empty);
}

}  // namespace mosaiko

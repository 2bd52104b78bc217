#include "settings/ui/RunningAppsPickerView.hpp"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/BuildInfo.hpp"
#include "platform/Workspace.hpp"
#include "platform/qt/PlainToolTip.hpp"
#include "settings/ui/SettingsStyle.hpp"

namespace mosaiko {

namespace {

constexpr int bundleIdentifierRole = Qt::UserRole;

// One row: the name, then the identifier in small secondary monospace at the trailing edge.
QWidget* rowWidget(const RunningAppsRules::RunningAppOption& option) {
    auto* row = new QWidget;
    row->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(6, 3, 6, 3);
    layout->setSpacing(10);
    layout->addWidget(
        SettingsStyle::label(QString::fromStdString(option.name), 13, QFont::Normal, false, row));
    layout->addStretch(1);
    QLabel* identifier = SettingsStyle::monospacedLabel(QString::fromStdString(option.bundleIdentifier), 10,
                                                        QFont::Normal, true, row);
    identifier->setObjectName(QStringLiteral("identifier"));
    layout->addWidget(identifier);
    return row;
}

// On a selected row the identifier takes the name's colour: its secondary grey all but vanishes on
// the selection's fill.
void showSelected(QWidget* row, bool selected) {
    if (auto* identifier = row ? row->findChild<QLabel*>(QStringLiteral("identifier")) : nullptr)
        SettingsStyle::setSecondary(identifier, !selected);
}

}  // namespace

RunningAppsPickerView::RunningAppsPickerView(AddHandler onAdd, SnapshotsProvider appSnapshotsProvider,
                                             QWidget* parent)
    : QDialog(parent), onAdd_(std::move(onAdd)), appSnapshotsProvider_(std::move(appSnapshotsProvider)) {
    setWindowTitle(tr("Running Apps"));
    setFixedSize(720, 520);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);

    auto* header = new QHBoxLayout;
    header->addWidget(SettingsStyle::label(tr("Running Apps"), 16, QFont::DemiBold, false, this));
    header->addStretch(1);
    refreshButton_ = new QPushButton(tr("Refresh"), this);
    refreshButton_->setAutoDefault(false);
    header->addWidget(refreshButton_);
    layout->addLayout(header);

    layout->addWidget(SettingsStyle::label(tr("Select one or more running apps to exclude."), 11,
                                           QFont::Normal, true, this));

    search_ = new QLineEdit(this);
    search_->setPlaceholderText(tr("Search"));
    search_->installEventFilter(this);
    layout->addWidget(search_);

    list_ = new QListWidget(this);
    list_->setSelectionMode(QAbstractItemView::MultiSelection);
    list_->setMinimumHeight(280);
    layout->addWidget(list_, 1);

    auto* footer = new QHBoxLayout;
    footer->addStretch(1);
    cancelButton_ = new QPushButton(tr("Cancel"), this);
    cancelButton_->setAutoDefault(false);
    addButton_ = new QPushButton(tr("Add Selected"), this);
    addButton_->setDefault(true);
    footer->addWidget(cancelButton_);
    footer->addWidget(addButton_);
    layout->addLayout(footer);

    connect(refreshButton_, &QPushButton::clicked, this, &RunningAppsPickerView::refresh);
    connect(search_, &QLineEdit::textChanged, this, &RunningAppsPickerView::showRows);
    connect(list_, &QListWidget::itemSelectionChanged, this, &RunningAppsPickerView::takeSelectionFromList);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    connect(addButton_, &QPushButton::clicked, this, &RunningAppsPickerView::addSelected);

    search_->setFocus();  // typing narrows the list at once
    refresh();
}

bool RunningAppsPickerView::eventFilter(QObject* watched, QEvent* event) {
    // The list narrows as the user types; Return there ends nothing (the sheet's default button
    // would add whatever is selected, rows hidden by the search included).
    if (watched == search_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
    }
    return QDialog::eventFilter(watched, event);
}

RunningAppsPickerView::SnapshotsProvider RunningAppsPickerView::liveAppSnapshots(const Workspace& workspace) {
    return [&workspace] { return RunningAppsRules::appSnapshots(workspace.runningApplications()); };
}

void RunningAppsPickerView::refresh() {
    apps_ = RunningAppsRules::normalizedApps(
        appSnapshotsProvider_ ? appSnapshotsProvider_() : std::vector<Snapshot>{},
        std::string(buildinfo::kAppIdentifier));
    showRows();
}

void RunningAppsPickerView::showRows() {
    showingRows_ = true;
    list_->clear();
    for (const auto& option : RunningAppsRules::filter(apps_, search_->text().toStdString())) {
        auto* item = new QListWidgetItem(list_);
        item->setData(bundleIdentifierRole, QString::fromStdString(option.bundleIdentifier));
        item->setToolTip(plainToolTip(QString::fromStdString(option.name)));
        QWidget* row = rowWidget(option);
        item->setSizeHint(row->sizeHint());
        list_->setItemWidget(item, row);
        item->setSelected(selection_.contains(option.bundleIdentifier));
        showSelected(row, item->isSelected());
    }
    showingRows_ = false;
    addButton_->setEnabled(!selection_.empty());
}

void RunningAppsPickerView::takeSelectionFromList() {
    if (showingRows_) return;
    // Only the rows on show change; a selected row hidden by the search text stays selected.
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* item = list_->item(i);
        const std::string identifier = item->data(bundleIdentifierRole).toString().toStdString();
        showSelected(list_->itemWidget(item), item->isSelected());
        if (item->isSelected()) {
            selection_.insert(identifier);
        } else {
            selection_.erase(identifier);
        }
    }
    addButton_->setEnabled(!selection_.empty());
}

void RunningAppsPickerView::addSelected() {
    if (selection_.empty()) return;
    if (onAdd_) onAdd_(RunningAppsRules::selectedExcludedApps(apps_, selection_));
    accept();
}

}  // namespace mosaiko

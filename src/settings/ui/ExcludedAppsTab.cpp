#include "settings/ui/ExcludedAppsTab.hpp"

#include <QAbstractItemView>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStyledItemDelegate>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>

#include "content/PreferencesStore.hpp"
#include "picker/ui/DeferredRefresh.hpp"
#include "platform/qt/SymbolImage.hpp"
#include "platform/qt/Typography.hpp"
#include "platform/x11/DesktopEntryIndex.hpp"
#include "settings/ui/SettingsCards.hpp"
#include "settings/ui/SettingsStyle.hpp"

namespace mosaiko {

namespace {

QColor teal() {
    return {48, 176, 199};
}

}  // namespace

ExcludedAppsTab::ExcludedAppsTab(PreferencesStore& prefs, Actions actions,
                                 std::vector<std::string> dataDirectories, QWidget* parent)
    : QWidget(parent), prefs_(prefs), actions_(std::move(actions)) {
    if (dataDirectories.empty()) dataDirectories = DesktopEntryIndex::defaultDataDirectories();
    desktopEntries_ =
        std::make_unique<DesktopEntryIndex>(std::move(dataDirectories), DesktopEntryIndex::defaultLocale());
    if (!actions_.chooseDesktopFiles) actions_.chooseDesktopFiles = &ExcludedAppsTab::askForDesktopFiles;

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    column->addWidget(new SettingsHeaderCard(tr("Excluded Apps"),
                                             tr("Choose apps where your search trigger should be ignored."),
                                             QStringLiteral("rectangle.slash.fill")));

    auto* card = new SettingsSectionCard(
        tr("App List"),
        tr("Mosaiko will ignore your search trigger in these apps (they usually provide their own emoji "
           "completion)."),
        QStringLiteral("minus.circle.fill"), {{teal(), 0.32, 0.2}, {SettingsStyle::green(), 0.22, 0.14}});
    card->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    card->contentLayout()->setSpacing(8);

    // The list scrolls on its own and lets the card's gradient show through.
    auto* list = new QScrollArea(card);
    list->setWidgetResizable(true);
    list->setFrameShape(QFrame::NoFrame);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->viewport()->setAutoFillBackground(false);
    rows_ = new QWidget;
    rowsLayout_ = new QVBoxLayout(rows_);
    rowsLayout_->setContentsMargins(0, 0, 0, 0);
    rowsLayout_->setSpacing(2);
    rowsLayout_->addStretch(1);
    list->setWidget(rows_);
    rows_->setAutoFillBackground(false);  // the scroll area turned it on
    card->contentLayout()->addWidget(list, 1);

    auto* buttons = new QHBoxLayout;
    addApp_ = new QPushButton(tr("Add App\u2026"), card);
    addRunningApp_ = new QPushButton(tr("Add Running App\u2026"), card);
    reset_ = new QPushButton(tr("Reset Defaults"), card);
    for (auto* button : {addApp_, addRunningApp_, reset_}) button->setAutoDefault(false);
    buttons->addWidget(addApp_);
    buttons->addWidget(addRunningApp_);
    buttons->addStretch(1);
    buttons->addWidget(reset_);
    card->contentLayout()->addLayout(buttons);
    column->addWidget(card, 1);

    connect(addApp_, &QPushButton::clicked, this, &ExcludedAppsTab::addAppFromFiles);
    connect(addRunningApp_, &QPushButton::clicked, this, [this] {
        if (actions_.showRunningApps) actions_.showRunningApps();
    });
    connect(reset_, &QPushButton::clicked, this, [this] { ExcludedAppsRules::resetExcludedApps(prefs_); });

    refresh_ = std::make_unique<DeferredRefresh>(this, [this] { refresh(); });
    refresh_->watch(prefs_.excludedApps);
    refresh();
}

ExcludedAppsTab::~ExcludedAppsTab() = default;

ExcludedAppsRules::ExcludedAppSelection ExcludedAppsTab::selection(const std::string& path,
                                                                   const DesktopEntryIndex& index) {
    ExcludedAppsRules::ExcludedAppSelection selection;
    selection.fallbackName = std::filesystem::path(path).stem().string();
    if (const auto entry = index.entryAtPath(path)) {
        // The workspace names a program's windows by this id (directly, or through the entry's
        // window class), so the exclusion matches what the key path sees.
        selection.bundleIdentifier = entry->id;
        selection.displayName = entry->name;
    }
    return selection;
}

QString ExcludedAppsTab::PlaceNames::textFor(const QModelIndex& index) const {
    // The places list keeps each place's address under the first role past the user's.
    const QUrl url = index.data(Qt::UserRole + 1).toUrl();
    return url.isLocalFile() ? placeName(url.toLocalFile(), QDir::homePath()) : index.data().toString();
}

void ExcludedAppsTab::PlaceNames::initStyleOption(QStyleOptionViewItem* option,
                                                  const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->text = textFor(index);
}

QString ExcludedAppsTab::placeName(const QString& path, const QString& home) {
    const QFileInfo folder(QDir::cleanPath(path));
    QString parent = folder.path();
    if (parent == home || parent.startsWith(home + u'/')) parent = u'~' + parent.mid(home.size());
    return folder.fileName() + QStringLiteral(" (") + parent + u')';
}

std::vector<std::string> ExcludedAppsTab::askForDesktopFiles(QWidget* parent,
                                                             const std::vector<std::string>& folders) {
    QFileDialog dialog(parent, tr("Select Apps to Exclude"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilter(tr("Applications (*.desktop)"));
    dialog.setLabelText(QFileDialog::Accept, tr("Add"));
    QList<QUrl> places;
    QString start;
    for (const auto& folder : folders) {
        const QString path = QString::fromStdString(folder);
        if (!QFileInfo(path).isDir()) continue;
        places.append(QUrl::fromLocalFile(path));
        start = path;  // the system's folder, which lists the most applications, comes last
    }
    dialog.setSidebarUrls(places);
    if (auto* sidebar = dialog.findChild<QAbstractItemView*>(QStringLiteral("sidebar")))
        sidebar->setItemDelegate(new PlaceNames(sidebar));
    if (!start.isEmpty()) dialog.setDirectory(start);
    if (dialog.exec() != QDialog::Accepted) return {};
    std::vector<std::string> chosen;
    for (const QString& file : dialog.selectedFiles()) chosen.push_back(file.toStdString());
    return chosen;
}

void ExcludedAppsTab::addAppFromFiles() {
    const auto files = actions_.chooseDesktopFiles(window(), desktopEntries_->applicationFolders());
    if (files.empty()) return;
    std::vector<ExcludedAppsRules::ExcludedAppSelection> selections;
    for (const auto& file : files) selections.push_back(selection(file, *desktopEntries_));
    ExcludedAppsRules::addExcludedApps(prefs_, ExcludedAppsRules::excludedApps(selections));
}

void ExcludedAppsTab::refresh() {
    while (rowsLayout_->count() > 1) {
        QLayoutItem* item = rowsLayout_->takeAt(0);
        if (QWidget* row = item->widget()) row->deleteLater();
        delete item;
    }
    int position = 0;
    for (const auto& app : prefs_.excludedApps()) {
        const std::string key = app.identity();
        rowsLayout_->insertWidget(
            position++, new ExcludedAppRowView(
                            app, [this, key] { ExcludedAppsRules::removeExcludedApp(prefs_, key); }, rows_));
    }
}

ExcludedAppRowView::ExcludedAppRowView(const ExcludedApp& app, std::function<void()> onRemove,
                                       QWidget* parent)
    : QWidget(parent), app_(app) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 3, 4, 3);
    row->setSpacing(10);
    name_ = SettingsStyle::elidedLabel(QString::fromStdString(app.name), Typography::system(13), false, this);
    row->addWidget(name_, 1);
    if (app.bundleIdentifier) {
        row->addWidget(SettingsStyle::elidedLabel(QString::fromStdString(*app.bundleIdentifier),
                                                  Typography::monospaced(10), true, this));
    }
    remove_ = new QPushButton(this);
    remove_->setFlat(true);
    remove_->setAutoDefault(false);
    remove_->setToolTip(tr("Remove"));
    updateIcon();
    connect(remove_, &QPushButton::clicked, this, [onRemove = std::move(onRemove)] {
        if (onRemove) onRemove();
    });
    row->addWidget(remove_);
}

void ExcludedAppRowView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) updateIcon();
}

void ExcludedAppRowView::updateIcon() {
    remove_->setIcon(SymbolImage::icon(QStringLiteral("trash"), palette().color(QPalette::WindowText), 14,
                                       devicePixelRatioF()));
}

}  // namespace mosaiko

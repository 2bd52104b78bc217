#include "settings/ui/SettingsView.hpp"

#include <QDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>
#include <stdexcept>

#include "picker/ui/DeferredRefresh.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "settings/ui/CollectionsManageView.hpp"
#include "settings/ui/CustomSearchTriggerEditorSheet.hpp"
#include "settings/ui/EmoticonEditorView.hpp"
#include "settings/ui/ExcludedAppsTab.hpp"
#include "settings/ui/GeneralTab.hpp"
#include "settings/ui/InfoTab.hpp"
#include "settings/ui/LibraryShortcutSheet.hpp"
#include "settings/ui/RunningAppsPickerView.hpp"
#include "settings/ui/SettingsStyle.hpp"
#include "settings/ui/SnippetsManageView.hpp"

namespace mosaiko {

namespace {

constexpr int kAlertWidth = 420;

int indexOf(SettingsState::Tab tab) {
    return static_cast<int>(tab);
}

// A vertical scroll view with its scroll bar always shown.
std::unique_ptr<QWidget> scrolling(std::unique_ptr<QWidget> content) {
    auto area = std::make_unique<QScrollArea>();
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    area->setWidget(content.release());
    area->viewport()->setAutoFillBackground(false);
    area->widget()->setAutoFillBackground(false);
    return area;
}

// A column padded 16 on every edge, children 14 apart.
std::unique_ptr<QWidget> padded(std::unique_ptr<QWidget> content) {
    auto box = std::make_unique<QWidget>();
    auto* column = new QVBoxLayout(box.get());
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(14);
    column->addWidget(content.release(), 1);
    return box;
}

}  // namespace

SettingsView::SettingsView(Dependencies dependencies, QWidget* parent)
    : QWidget(parent), dependencies_(std::move(dependencies)) {
    if (!dependencies_.prefs) throw std::invalid_argument("SettingsView needs the preferences store (prefs)");
    state_ = std::make_unique<SettingsState>(*dependencies_.prefs);
    setAutoFillBackground(true);
    // The desktop switched between light and dark: the whole window, its sheets with it (they
    // take its palette), changes over at once.
    DesktopAppearance::follow(*this, [this] { applyAppearance(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    tabs_ = new QTabWidget(this);
    tabs_->setDocumentMode(true);
    layout->addWidget(tabs_);
    for (Tab tab : SettingsState::allTabs) {
        tabs_->addTab(new QWidget, tabTitle(tab));
        wrappers_[tab] = tabs_->widget(indexOf(tab));
        contents_[tab] = nullptr;
        // A tab that is not built yet stays empty.
        if (auto content = makeTabContent(tab)) setTabContent(tab, std::move(content));
    }
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (index >= 0 && index < static_cast<int>(std::size(SettingsState::allTabs)))
            state_->selectTab(SettingsState::allTabs[index]);
    });

    if (dependencies_.shell.observeUpdaterStatus) {
        updaterObservation_ =
            dependencies_.shell.observeUpdaterStatus([this] { state_->updaterStatusDidChange(); });
    }
    presentation_ = std::make_unique<DeferredRefresh>(this, [this] { syncPresentation(); });
    presentation_->watch(state_->revision);
}

SettingsView::~SettingsView() {
    presentation_.reset();
    suspendLibraryShortcut(false);
}

QString SettingsView::tabTitle(Tab tab) {
    switch (tab) {
        case Tab::general:
            return QStringLiteral("General");
        case Tab::excludedApps:
            return QStringLiteral("Excluded Apps");
        case Tab::pins:
            return QStringLiteral("Pins");
        case Tab::emoticons:
            return QStringLiteral("Emoticon");
        case Tab::shortcodes:
            return QStringLiteral("Shortcodes");
        case Tab::info:
            return QStringLiteral("Info");
    }
    return {};
}

// The content of each tab, in one place.
std::unique_ptr<QWidget> SettingsView::makeTabContent(Tab tab) {
    switch (tab) {
        case Tab::general:
            return std::make_unique<GeneralTab>(*state_, dependencies_.shell.launchAtLoginUnavailableReason);
        case Tab::excludedApps:
            return std::make_unique<ExcludedAppsTab>(
                *dependencies_.prefs,
                ExcludedAppsTab::Actions{[this] { state_->setRunningAppsSheetShown(true); }, {}});
        case Tab::pins:
            if (!dependencies_.collections || !dependencies_.db) return nullptr;
            return std::make_unique<CollectionsManageView>(true, *dependencies_.collections,
                                                           *dependencies_.db, *dependencies_.prefs);
        case Tab::emoticons:
            return std::make_unique<EmoticonEditorView>(*dependencies_.prefs);
        case Tab::shortcodes:
            if (!dependencies_.custom) return nullptr;
            return std::make_unique<SnippetsManageView>(true, *dependencies_.custom, *dependencies_.prefs);
        case Tab::info:
            return std::make_unique<InfoTab>(*state_, dependencies_);
    }
    return nullptr;
}

QWidget* SettingsView::tabContent(Tab tab) const {
    return contents_.at(tab);
}

void SettingsView::setTabContent(Tab tab, std::unique_ptr<QWidget> content) {
    if (!content) return;
    contents_[tab] = content.get();
    switch (tab) {
        case Tab::general:
        case Tab::emoticons:
            content = scrolling(std::move(content));
            break;
        case Tab::excludedApps:
            content = padded(std::move(content));
            break;
        case Tab::pins:
        case Tab::shortcodes:
        case Tab::info:
            break;
    }
    const int index = indexOf(tab);
    const int current = tabs_->currentIndex();
    QWidget* old = wrappers_[tab];
    {
        const QSignalBlocker block(tabs_);
        tabs_->removeTab(index);
        wrappers_[tab] = content.get();
        tabs_->insertTab(index, content.release(), tabTitle(tab));
        tabs_->setCurrentIndex(current);
    }
    delete old;
}

// ---------------------------------------------------------------- appearance

void SettingsView::applyAppearance() {
    setPalette(SettingsStyle::palette());
    update();
}

void SettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    state_->prepareCustomSearchTriggerEditor();
}

// ---------------------------------------------------------------- sheets and the alert

void SettingsView::syncPresentation() {
    const int wanted = indexOf(state_->tab());
    if (tabs_->currentIndex() != wanted) {
        const QSignalBlocker block(tabs_);
        tabs_->setCurrentIndex(wanted);
    }
    presentTriggerSheet(state_->isShowingCustomSearchTriggerSheet());
    presentLibraryShortcutSheet(state_->isShowingLibraryShortcutSheet());
    presentRunningAppsSheet(state_->isShowingRunningAppsSheet());
    presentResetAlert(state_->isShowingResetAllSettingsAlert());
}

void SettingsView::dismiss(QPointer<QDialog>& dialog) {
    if (!dialog) return;
    QDialog* closing = dialog;
    dialog = nullptr;
    // Closed by the state: its own dismissal handler must not run again.
    closing->disconnect(closing, &QDialog::finished, nullptr, nullptr);
    closing->hide();
    closing->deleteLater();
}

void SettingsView::presentTriggerSheet(bool shown) {
    if (!shown) return dismiss(triggerSheet_);
    if (triggerSheet_) return;
    auto* sheet = new CustomSearchTriggerEditorSheet(*state_, this);
    triggerSheet_ = sheet;
    sheet->setAttribute(Qt::WA_WindowPropagation);  // the window's light or dark palette
    // Closed by Escape or by the window's close button: the drafts go back to the store's values.
    connect(sheet, &QDialog::finished, this, [this] {
        if (triggerSheet_) dismiss(triggerSheet_);
        state_->customSearchTriggerSheetDismissed();
    });
    sheet->open();
}

void SettingsView::presentLibraryShortcutSheet(bool shown) {
    if (!shown) {
        dismiss(libraryShortcutSheet_);
    } else if (!libraryShortcutSheet_) {
        auto* sheet = new LibraryShortcutSheet(*state_, dependencies_.keyEventOf, this);
        libraryShortcutSheet_ = sheet;
        sheet->setAttribute(Qt::WA_WindowPropagation);
        connect(sheet, &QDialog::finished, this, [this] {
            if (libraryShortcutSheet_) dismiss(libraryShortcutSheet_);
            state_->setLibraryShortcutSheetShown(false);
        });
        sheet->open();
    }
    suspendLibraryShortcut(libraryShortcutSheet_ != nullptr);
}

void SettingsView::suspendLibraryShortcut(bool suspended) {
    // The library shortcut must not fire while the user records a new one.
    if (suspended == libraryShortcutSuspended_) return;
    libraryShortcutSuspended_ = suspended;
    const SettingsShell& shell = dependencies_.shell;
    if (shell.setLibraryShortcutSuspended) shell.setLibraryShortcutSuspended(suspended);
    if (!shell.observeKeysWhileLibraryShortcutSuspended) return;
    if (!suspended) return shell.observeKeysWhileLibraryShortcutSuspended(nullptr);
    QPointer<QDialog> sheet = libraryShortcutSheet_;
    shell.observeKeysWhileLibraryShortcutSuspended([sheet](const KeyEvent& event) {
        if (sheet) static_cast<LibraryShortcutSheet*>(sheet.data())->keyTypedAnywhere(event);
    });
}

void SettingsView::presentRunningAppsSheet(bool shown) {
    if (!shown) return dismiss(runningAppsSheet_);
    if (runningAppsSheet_) return;
    if (!dependencies_.workspace) {
        // Nothing can list the running applications.
        state_->setRunningAppsSheetShown(false);
        return;
    }
    auto* sheet = new RunningAppsPickerView(
        [this](const std::vector<ExcludedApp>& apps) { state_->addExcludedApps(apps); },
        RunningAppsPickerView::liveAppSnapshots(*dependencies_.workspace), this);
    runningAppsSheet_ = sheet;
    sheet->setAttribute(Qt::WA_WindowPropagation);
    sheet->setWindowModality(Qt::WindowModal);
    connect(sheet, &QDialog::finished, this, [this] {
        if (runningAppsSheet_) dismiss(runningAppsSheet_);
        state_->setRunningAppsSheetShown(false);
    });
    sheet->open();
}

void SettingsView::presentResetAlert(bool shown) {
    if (!shown) {
        if (!resetAlert_) return;
        QPointer<QDialog> alert(resetAlert_.data());
        resetAlert_ = nullptr;
        dismiss(alert);
        return;
    }
    if (resetAlert_) return;
    auto* alert =
        new QMessageBox(QMessageBox::Warning, QStringLiteral("Reset All Settings to Default?"),
                        QStringLiteral("Reset All Settings to Default?"), QMessageBox::NoButton, this);
    alert->setTextFormat(Qt::PlainText);
    alert->setAttribute(Qt::WA_WindowPropagation);
    alert->setInformativeText(QStringLiteral(
        "This resets shortcuts, excluded apps, skin tone, popup timing, and emoticon customization. "
        "Statistics stay unchanged."));
    QPushButton* reset = alert->addButton(QStringLiteral("Reset"), QMessageBox::DestructiveRole);
    QPushButton* cancel = alert->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    alert->setDefaultButton(cancel);
    alert->setEscapeButton(cancel);
    // Wide enough for the message to read in two lines rather than a narrow column.
    if (auto* grid = qobject_cast<QGridLayout*>(alert->layout())) {
        grid->addItem(new QSpacerItem(kAlertWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    resetAlert_ = alert;
    connect(alert, &QDialog::finished, this, [this, alert, reset] {
        const bool confirmed = alert->clickedButton() == reset;
        if (resetAlert_ == alert) {
            QPointer<QDialog> closing(alert);
            resetAlert_ = nullptr;
            dismiss(closing);
        }
        if (confirmed) {
            state_->confirmResetAllSettings();
        } else {
            state_->cancelResetAllSettings();
        }
    });
    alert->open();
}

}  // namespace mosaiko

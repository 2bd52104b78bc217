#pragma once

#include <QDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/KeyEvent.hpp"
#include "settings/SettingsShell.hpp"
#include "settings/SettingsState.hpp"

class QTabWidget;

namespace mosaiko {

class CollectionsStore;
class CustomContentStore;
class DeferredRefresh;
class EmojiDatabase;
class PreferencesStore;
class Workspace;

// The root view of the settings window: six tabs, the sheets and the alert they open, and the
// state they share (SettingsState). It lives as long as the window, so the selected tab and the
// drafts do too.
class SettingsView final : public QWidget {
    Q_OBJECT

  public:
    using Tab = SettingsState::Tab;

    // The key event the key tap would report for a key press delivered to one of our windows;
    // none when the press cannot be read.
    using KeyEventReader = std::function<std::optional<KeyEvent>(const QKeyEvent&)>;

    struct Dependencies {
        PreferencesStore* prefs = nullptr;
        // The content tabs' stores and the running applications.
        CollectionsStore* collections = nullptr;
        CustomContentStore* custom = nullptr;
        EmojiDatabase* db = nullptr;
        Workspace* workspace = nullptr;
        SettingsShell shell;
        KeyEventReader keyEventOf;
        // The version text, "1.4 (57)".
        std::string versionText;
        // The Info tab's addresses.
        std::string companyURL;
        std::string issuesURL;
        std::string featureRequestsURL;
    };

    // Throws std::invalid_argument naming what is missing.
    explicit SettingsView(Dependencies dependencies, QWidget* parent = nullptr);
    ~SettingsView() override;

    SettingsState& state() { return *state_; }
    const Dependencies& dependencies() const { return dependencies_; }

    static QString tabTitle(Tab tab);
    QTabWidget* tabWidget() const { return tabs_; }
    // The content shown in a tab (inside the tab's own scroll view or padding).
    QWidget* tabContent(Tab tab) const;
    // Puts `content` in a tab, wrapped as that tab wants it (scrolling or padded).
    void setTabContent(Tab tab, std::unique_ptr<QWidget> content);

    // The sheets and the alert while they are up.
    QDialog* customSearchTriggerSheet() const { return triggerSheet_; }
    QDialog* libraryShortcutSheet() const { return libraryShortcutSheet_; }
    QDialog* runningAppsSheet() const { return runningAppsSheet_; }
    QMessageBox* resetAllSettingsAlert() const { return resetAlert_; }

    // Re-reads light or dark and recolours everything.
    void applyAppearance();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    std::unique_ptr<QWidget> makeTabContent(Tab tab);
    void syncPresentation();
    void presentTriggerSheet(bool shown);
    void presentLibraryShortcutSheet(bool shown);
    void suspendLibraryShortcut(bool suspended);
    void presentRunningAppsSheet(bool shown);
    void presentResetAlert(bool shown);
    static void dismiss(QPointer<QDialog>& dialog);

    Dependencies dependencies_;
    std::unique_ptr<SettingsState> state_;
    QTabWidget* tabs_ = nullptr;
    std::map<Tab, QWidget*> wrappers_;
    std::map<Tab, QWidget*> contents_;
    QPointer<QDialog> triggerSheet_;
    QPointer<QDialog> libraryShortcutSheet_;
    QPointer<QDialog> runningAppsSheet_;
    QPointer<QMessageBox> resetAlert_;
    bool shownOnce_ = false;
    bool libraryShortcutSuspended_ = false;
    Cancellable updaterObservation_;
    std::unique_ptr<DeferredRefresh> presentation_;
};

}  // namespace mosaiko

// The settings window's view and what it reaches of the shell.
#include <QDesktopServices>
#include <QUrl>
#include <QVBoxLayout>

#include "app/AppDelegate.hpp"
#include "platform/BuildInfo.hpp"
#include "platform/x11/QtKeyEventReader.hpp"
#include "settings/UpdaterControlState.hpp"
#include "settings/ui/SettingsView.hpp"

namespace mosaiko {

void AppDelegate::installSettingsView(WindowController& controller) {
    SettingsView::Dependencies d;
    d.prefs = stores_.prefs;
    d.collections = stores_.collections;
    d.custom = stores_.custom;
    d.db = stores_.db;
    d.workspace = dependencies_.workspace;
    d.keyEventOf = &QtKeyEventReader::read;
    d.versionText =
        UpdaterControlState::appVersionDisplay(buildinfo::kShortVersion, buildinfo::kBuildVersion);
    d.companyURL = buildinfo::kCompanyURL;
    d.issuesURL = buildinfo::kIssuesURL;
    d.featureRequestsURL = buildinfo::kFeatureRequestsURL;

    SettingsShell& shell = d.shell;
    shell.showOnboarding = [this](OnboardingPage page) { showOnboarding(page); };
    shell.currentUpdaterStatus = [this](const std::string& version) { return currentUpdaterStatus(version); };
    shell.setAutomaticallyChecksForUpdates = [this](bool on) { setAutomaticallyChecksForUpdates(on); };
    shell.setAutomaticallyDownloadsUpdates = [this](bool on) { setAutomaticallyDownloadsUpdates(on); };
    shell.checkForUpdates = [this] { checkForUpdates(); };
    shell.observeUpdaterStatus = [this](std::function<void()> handler) {
        return updates_.updaterStatusDidChange.subscribe([handler](const UpdateManager*) { handler(); });
    };
    shell.setLibraryShortcutSuspended = dependencies_.picker.setLibraryShortcutSuspended;
    shell.observeKeysWhileLibraryShortcutSuspended =
        dependencies_.picker.observeKeysWhileLibraryShortcutSuspended;
    shell.openUrl = [](const std::string& url) {
        QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
    };

    auto* layout = new QVBoxLayout(controller.contentHost());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new SettingsView(std::move(d), controller.contentHost()));
}

}  // namespace mosaiko

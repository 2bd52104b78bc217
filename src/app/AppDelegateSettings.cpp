// The settings window's view and what it reaches of the shell.
#include <QProcess>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

#include "app/AppDelegate.hpp"
#include "platform/BuildInfo.hpp"
#include "platform/x11/QtKeyEventReader.hpp"
#include "settings/UpdaterControlState.hpp"
#include "settings/ui/SettingsView.hpp"

namespace mosaiko {

namespace {

// xdg-open hands the address to the desktop's browser. It fails at once when there is none; a
// browser it starts in the foreground keeps it running, and a run that lasts counts as opened.
void openWithDesktop(const std::string& url, std::function<void(bool opened)> answer) {
    auto* process = new QProcess;
    auto answered = std::make_shared<bool>(false);
    auto reply = [answered, answer = std::move(answer)](bool opened) {
        if (*answered) return;
        *answered = true;
        if (answer) answer(opened);
    };
    QObject::connect(process, &QProcess::finished, process,
                     [process, reply](int code, QProcess::ExitStatus status) {
                         reply(status == QProcess::NormalExit && code == 0);
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, reply](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart) return;
                         reply(false);
                         process->deleteLater();
                     });
    QTimer::singleShot(5000, process, [reply] { reply(true); });
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(QStringLiteral("xdg-open"), {QString::fromStdString(url)});
}

}  // namespace

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
    shell.launchAtLoginUnavailableReason = [this] {
        return dependencies_.autoStart->service.unavailableReason();
    };
    shell.openUrl = &openWithDesktop;

    auto* layout = new QVBoxLayout(controller.contentHost());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new SettingsView(std::move(d), controller.contentHost()));
}

}  // namespace mosaiko

#include "settings/ui/UpdaterStatusCard.hpp"

#include <QCheckBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLocale>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "picker/ui/DeferredRefresh.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

// ---------------------------------------------------------------- MiddleElidedLabel

MiddleElidedLabel::MiddleElidedLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

QSize MiddleElidedLabel::minimumSizeHint() const {
    return {0, fontMetrics().height()};
}

void MiddleElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width()));
}

// ---------------------------------------------------------------- UpdaterStatusCard

UpdaterStatusCard::UpdaterStatusCard(SettingsState& state, SettingsShell shell, std::string versionText,
                                     QWidget* parent)
    : SettingsSectionCard(QStringLiteral("Auto-Updater"),
                          QStringLiteral("Update status, versions, and controls"),
                          QStringLiteral("arrow.triangle.2.circlepath"),
                          {{SettingsStyle::cyan(), 0.34, 0.24}, {SettingsStyle::blue(), 0.24, 0.16}}, parent),
      state_(state),
      shell_(std::move(shell)),
      versionText_(std::move(versionText)) {
    QVBoxLayout* content = contentLayout();
    const QString pairs[3][2] = {{QStringLiteral("Current"), QStringLiteral("Available")},
                                 {QStringLiteral("Status"), QStringLiteral("Last check")},
                                 {QStringLiteral("Check mode"), QStringLiteral("Download mode")}};
    for (const auto& pair : pairs) {
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        row->addWidget(pill(pair[0]), 1);
        row->addWidget(pill(pair[1]), 1);
        content->addLayout(row);
    }

    checkToggle_ = new QCheckBox(QStringLiteral("Automatically check for updates"));
    checkToggle_->setFont(Typography::system(12));
    connect(checkToggle_, &QCheckBox::toggled, this, [this](bool on) {
        if (shell_.setAutomaticallyChecksForUpdates) shell_.setAutomaticallyChecksForUpdates(on);
        // The switch shows what the updater reports, at once.
        state_.updaterStatusDidChange();
    });
    content->addWidget(checkToggle_);
    downloadToggle_ = new QCheckBox(QStringLiteral("Automatically download and install updates"));
    downloadToggle_->setFont(Typography::system(12));
    connect(downloadToggle_, &QCheckBox::toggled, this, [this](bool on) {
        if (shell_.setAutomaticallyDownloadsUpdates) shell_.setAutomaticallyDownloadsUpdates(on);
        state_.updaterStatusDidChange();
    });
    content->addWidget(downloadToggle_);

    error_ = SettingsStyle::wrappingLabel(QString(), 11, QFont::Normal, false);
    DesktopAppearance::keepColours(
        *error_, [](QPalette& palette) { palette.setColor(QPalette::WindowText, SettingsStyle::red()); });
    content->addWidget(error_);

    auto* actions = new QHBoxLayout;
    actions->setSpacing(10);
    checkButton_ = new QPushButton(QStringLiteral("Check for Updates\u2026"));
    checkButton_->setAutoDefault(false);
    connect(checkButton_, &QPushButton::clicked, this, [this] {
        if (shell_.checkForUpdates) shell_.checkForUpdates();
    });
    actions->addWidget(checkButton_);
    progress_ = new QWidget;
    auto* progressRow = new QHBoxLayout(progress_);
    progressRow->setContentsMargins(0, 0, 0, 0);
    progressRow->setSpacing(10);
    auto* spinner = new QProgressBar;
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedSize(40, 10);
    progressRow->addWidget(spinner);
    progressRow->addWidget(SettingsStyle::label(QStringLiteral("Checking\u2026"), 11, QFont::Normal, true));
    actions->addWidget(progress_);
    actions->addStretch(1);
    content->addLayout(actions);

    refresh_ = std::make_unique<DeferredRefresh>(this, [this] { refresh(); });
    refresh_->watch(state_.revision);
    refresh();
}

UpdaterStatusCard::~UpdaterStatusCard() = default;

QWidget* UpdaterStatusCard::pill(const QString& label) {
    auto* box = new BoxFrame(8, 0.1, 0.62);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(8, 6, 8, 6);
    column->setSpacing(1);
    column->addWidget(SettingsStyle::monospacedLabel(label, 9, QFont::DemiBold, true));
    auto* value = new MiddleElidedLabel;
    value->setFont(Typography::monospaced(11, QFont::DemiBold));
    column->addWidget(value);
    pillValues_[label] = value;
    return box;
}

QString UpdaterStatusCard::pillValue(const QString& label) const {
    const auto found = pillValues_.find(label);
    return found == pillValues_.end() ? QString() : found->second->text();
}

UpdaterControlState::Snapshot UpdaterStatusCard::snapshot() const {
    if (shell_.currentUpdaterStatus) return shell_.currentUpdaterStatus(versionText_);
    return UpdaterControlState::fallbackSnapshot(versionText_);
}

QString UpdaterStatusCard::updaterDateText(const std::optional<double>& secondsSince1970) {
    if (!secondsSince1970) return QStringLiteral("Never");
    const QDateTime date = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(*secondsSince1970 * 1000.0));
    const QLocale locale = QLocale::system();
    return locale.toString(date.date(), QLocale::ShortFormat) + QStringLiteral(", ") +
           locale.toString(date.time(), QLocale::ShortFormat);
}

void UpdaterStatusCard::refresh() {
    const auto current = snapshot();
    const auto controls = UpdaterControlState::from(current);
    pillValues_[QStringLiteral("Current")]->setText(qs(current.currentVersion));
    pillValues_[QStringLiteral("Available")]->setText(
        qs(UpdaterControlState::availableUpdateVersionText(current)));
    pillValues_[QStringLiteral("Status")]->setText(qs(current.statusText));
    pillValues_[QStringLiteral("Last check")]->setText(updaterDateText(current.lastCheckDate));
    pillValues_[QStringLiteral("Check mode")]->setText(qs(controls.checkModeLabel));
    pillValues_[QStringLiteral("Download mode")]->setText(qs(controls.downloadModeLabel));
    {
        const QSignalBlocker blockCheck(checkToggle_);
        const QSignalBlocker blockDownload(downloadToggle_);
        checkToggle_->setChecked(current.automaticallyChecksForUpdates);
        downloadToggle_->setChecked(current.automaticallyDownloadsUpdates);
    }
    checkToggle_->setEnabled(!controls.isCheckToggleDisabled);
    downloadToggle_->setVisible(controls.showsDownloadToggle);
    downloadToggle_->setEnabled(!controls.isDownloadToggleDisabled);
    const bool showsError = controls.errorText && !controls.errorText->empty();
    error_->setVisible(showsError);
    error_->setText(showsError ? qs(*controls.errorText) : QString());
    checkButton_->setEnabled(!controls.isCheckButtonDisabled);
    progress_->setVisible(controls.showsProgress);
}

}  // namespace mosaiko

#include "settings/ui/InfoTab.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QScrollArea>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/qt/Typography.hpp"
#include "settings/ui/UpdaterStatusCard.hpp"

namespace mosaiko {

namespace {

// The header's own box: the header gradient with the card border.
class HeaderBox final : public QWidget {
  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        SettingsStyle::paintBox(painter, QRectF(rect()), 14, SettingsStyle::headerGradientColors(),
                                SettingsStyle::border());
    }
};

// A thin line in the border colour.
class Divider final : public QWidget {
  public:
    Divider() { setFixedHeight(1); }

  protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), SettingsStyle::border()); }
};

QWidget* sectionBreak(const QString& title, const QString& subtitle) {
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 6, 0, 2);
    column->setSpacing(6);
    column->addWidget(new Divider);
    column->addWidget(SettingsStyle::monospacedLabel(title, 11, QFont::Bold, true));
    column->addWidget(SettingsStyle::label(subtitle, 11, QFont::Normal, true));
    return box;
}

}  // namespace

// ---------------------------------------------------------------- LinkButton

LinkButton::LinkButton(const QString& text, QWidget* parent) : QAbstractButton(parent) {
    setText(text);
    setFont(Typography::system(12, QFont::DemiBold));
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);  // underlined under the pointer
}

QSize LinkButton::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 2, metrics.height()};
}

void LinkButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QFont shown = font();
    shown.setUnderline(underMouse() || hasFocus());
    painter.setFont(shown);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, text());
}

// ---------------------------------------------------------------- InfoCardButton

InfoCardButton::InfoCardButton(const QString& title, const QString& subtitle, const QString& systemImage,
                               SettingsStyle::Gradient gradient, const QString& trailingSymbol,
                               QWidget* parent)
    : QAbstractButton(parent), gradient_(std::move(gradient)) {
    setText(title);
    setAccessibleName(title);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(12);
    row->addWidget(new SymbolTile({systemImage, 34, 18, 10, 0.14, 0.7}), 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(SettingsStyle::label(title, 14, QFont::DemiBold));
    texts->addWidget(SettingsStyle::wrappingLabel(subtitle, 11));
    row->addLayout(texts, 1);
    SymbolTile::Look trailing;
    trailing.symbol = trailingSymbol;
    trailing.side = 14;
    trailing.symbolPoints = 11;
    trailing.secondary = true;
    row->addWidget(new SymbolTile(trailing), 0, Qt::AlignVCenter);
    // The card itself takes every click.
    for (QWidget* child : findChildren<QWidget*>()) child->setAttribute(Qt::WA_TransparentForMouseEvents);
}

QSize InfoCardButton::sizeHint() const {
    return layout() ? layout()->sizeHint() : QSize(200, 58);
}

void InfoCardButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    SettingsStyle::paintBox(painter, QRectF(rect()), 12, SettingsStyle::resolved(gradient_),
                            SettingsStyle::border());
    if (isDown()) painter.fillRect(rect().adjusted(1, 1, -1, -1), QColor(0, 0, 0, 18));
}

// ---------------------------------------------------------------- InfoTab

InfoTab::InfoTab(SettingsState& state, const SettingsView::Dependencies& dependencies, QWidget* parent)
    : QWidget(parent), shell_(dependencies.shell) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* area = new QScrollArea;
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    outer->addWidget(area);
    auto* content = new QWidget;
    content->setAutoFillBackground(false);
    area->setWidget(content);
    area->viewport()->setAutoFillBackground(false);

    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(14);
    column->addWidget(makeHeader(dependencies));

    const SettingsShell& shell = dependencies.shell;
    auto openUrl = [this](const std::string& url) { return [this, url] { open(url); }; };
    auto* support = new QHBoxLayout;
    support->setSpacing(10);
    reportIssue_ = new InfoCardButton(
        QStringLiteral("Report an Issue"), QStringLiteral("Open the bug report form on GitHub"),
        QStringLiteral("exclamationmark.bubble.fill"),
        {{SettingsStyle::red(), 0.34, 0.24}, {SettingsStyle::orange(), 0.24, 0.18}},
        QStringLiteral("arrow.up.right"));
    connect(reportIssue_, &QAbstractButton::clicked, this, openUrl(dependencies.issuesURL));
    featureRequests_ = new InfoCardButton(
        QStringLiteral("Feature Requests"), QStringLiteral("Share ideas and vote in Discussions"),
        QStringLiteral("lightbulb.max.fill"),
        {{SettingsStyle::green(), 0.34, 0.22}, {SettingsStyle::mint(), 0.24, 0.18}},
        QStringLiteral("arrow.up.right"));
    connect(featureRequests_, &QAbstractButton::clicked, this, openUrl(dependencies.featureRequestsURL));
    // Two equal halves, whatever the lengths of their texts.
    support->addWidget(reportIssue_, 1);
    support->addWidget(featureRequests_, 1);
    reportIssue_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Minimum);
    featureRequests_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Minimum);
    column->addLayout(support);
    column->addWidget(makeNotOpenedNotice());

    column->addWidget(sectionBreak(QStringLiteral("App Controls"),
                                   QStringLiteral("Core controls available directly in Settings.")));
    auto showGuide = [shell](OnboardingPage page) {
        return [shell, page] {
            if (shell.showOnboarding) shell.showOnboarding(page);
        };
    };
    tipps_ = new InfoCardButton(QStringLiteral("Tipps"),
                                QStringLiteral("Open the guide with search hints and hidden shortcuts"),
                                QStringLiteral("heart.text.square.fill"),
                                {{SettingsStyle::orange(), 0.34, 0.22}, {SettingsStyle::pink(), 0.24, 0.16}},
                                QStringLiteral("chevron.right"));
    // The guide's first page, not its tips page.
    connect(tipps_, &QAbstractButton::clicked, this, showGuide(OnboardingPage::welcome));
    column->addWidget(tipps_);
    permissionWizard_ = new InfoCardButton(
        QStringLiteral("Permission Wizard"), QStringLiteral("Open accessibility setup and reset tools"),
        QStringLiteral("hand.raised.fill"),
        {{SettingsStyle::purple(), 0.34, 0.22}, {SettingsStyle::indigo(), 0.24, 0.16}},
        QStringLiteral("chevron.right"));
    connect(permissionWizard_, &QAbstractButton::clicked, this, showGuide(OnboardingPage::permissions));
    column->addWidget(permissionWizard_);

    updaterCard_ = new UpdaterStatusCard(state, shell, dependencies.versionText);
    column->addWidget(updaterCard_);
    column->addStretch(1);
}

QString InfoTab::linkLabel(const std::string& url) {
    const QUrl parsed(QString::fromStdString(url));
    QString label = parsed.host() + parsed.path();
    if (label.isEmpty()) label = QString::fromStdString(url);
    while (label.endsWith(QLatin1Char('/'))) label.chop(1);
    return label;
}

QWidget* InfoTab::makeHeader(const SettingsView::Dependencies& dependencies) {
    auto* header = new HeaderBox;
    header->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(14, 14, 14, 14);
    row->setSpacing(16);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(6);
    texts->addWidget(SettingsStyle::label(QStringLiteral("Mosaiko"), 22, QFont::Bold));
    version_ = SettingsStyle::monospacedLabel(
        QStringLiteral("Version ") + QString::fromStdString(dependencies.versionText), 12, QFont::DemiBold,
        true);
    texts->addWidget(version_);
    row->addLayout(texts);
    row->addStretch(1);

    auto* madeBy = new QHBoxLayout;
    madeBy->setSpacing(4);
    madeBy->addWidget(SettingsStyle::label(QStringLiteral("made by"), 12, QFont::DemiBold, true));
    companyLink_ = new LinkButton(linkLabel(dependencies.companyURL));
    const std::string url = dependencies.companyURL;
    connect(companyLink_, &QAbstractButton::clicked, this, [this, url] { open(url); });
    madeBy->addWidget(companyLink_);
    row->addLayout(madeBy);
    row->setAlignment(madeBy, Qt::AlignTop);
    row->setAlignment(texts, Qt::AlignTop);
    return header;
}

QWidget* InfoTab::makeNotOpenedNotice() {
    notOpened_ = new QWidget;
    auto* column = new QVBoxLayout(notOpened_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(SettingsStyle::wrappingLabel(
        QStringLiteral("No web browser could open the page. Copy its address into one:"), 11, QFont::DemiBold,
        false));
    notOpenedAddress_ = new QLineEdit;
    notOpenedAddress_->setReadOnly(true);
    notOpenedAddress_->setFont(Typography::monospaced(11));
    column->addWidget(notOpenedAddress_);
    notOpened_->hide();
    return notOpened_;
}

void InfoTab::open(const std::string& url) {
    notOpened_->hide();
    if (!shell_.openUrl) return;
    QPointer<InfoTab> self(this);
    shell_.openUrl(url, [self, url](bool opened) {
        if (!self || opened) return;
        // Said here, where the user clicked, with the address ready to copy.
        self->notOpenedAddress_->setText(QString::fromStdString(url));
        self->notOpened_->show();
        self->notOpenedAddress_->selectAll();
        self->notOpenedAddress_->setFocus(Qt::OtherFocusReason);
    });
}

}  // namespace mosaiko

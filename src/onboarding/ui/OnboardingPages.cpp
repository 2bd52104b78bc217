// The three pages of the guide, built anew each time the guide redraws.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "content/PreferencesStore.hpp"
#include "onboarding/ui/GuideCards.hpp"
#include "onboarding/ui/GuideStyle.hpp"
#include "onboarding/ui/OnboardingView.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/SymbolImage.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

using Accent = GuideStyle::Accent;
using Named = GuideStyle::Named;

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

QWidget* pageColumn(std::initializer_list<QWidget*> items) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 4);
    layout->setSpacing(14);
    for (QWidget* item : items) layout->addWidget(item);
    return page;
}

QWidget* row(std::initializer_list<QWidget*> items, int spacing, Qt::Alignment alignment,
             bool trailingSpace) {
    auto* holder = new QWidget;
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    for (QWidget* item : items) layout->addWidget(item, trailingSpace ? 0 : 1, alignment);
    if (trailingSpace) layout->addStretch(1);
    return holder;
}

// A panel of the tips page: padded, on a soft rounded tile without a border.
QWidget* tipsPanel(const QString& caption, std::initializer_list<QWidget*> items, int spacing) {
    auto* panel = new GuideSurface(GuideSurface::Look::filled(16, Named::white, 0.06, 0.5, false));
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(spacing);
    layout->addWidget(GuideStyle::label(caption, Typography::monospaced(11, QFont::Bold), true));
    for (QWidget* item : items) layout->addWidget(item);
    layout->addStretch(1);
    return panel;
}

QColor badgeColour(PermissionStatus status) {
    switch (status) {
        case PermissionStatus::granted:
            return GuideStyle::named(Named::green);
        case PermissionStatus::notGranted:
            return GuideStyle::named(Named::red);
        case PermissionStatus::unknown:
            break;
    }
    return DesktopAppearance::secondaryText();
}

}  // namespace

// ---------------------------------------------------------------- welcome

QWidget* OnboardingView::welcomePage() {
    const std::string& trigger = prefs_.inlineTrigger();
    auto* intro = new QWidget;
    auto* layout = new QVBoxLayout(intro);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    auto* headline = GuideStyle::label(qs(OnboardingViewModel::welcomeHeadline(trigger)),
                                       Typography::system(20, QFont::Bold), false, true);
    headline->setObjectName(QStringLiteral("welcomeHeadline"));
    layout->addWidget(headline);
    layout->addWidget(
        GuideStyle::label(QStringLiteral("No giant palette. No hunting through categories first. Just "
                                         "a fast lane for the emoji already in your head."),
                          Typography::system(12), true, true));
    auto* triggerChip = GuideCards::featureChip(qs(OnboardingViewModel::inlineTriggerChipLabel(trigger)),
                                                QStringLiteral("trigger"));
    triggerChip->setObjectName(QStringLiteral("triggerChip"));
    // The key as its keycap and the desktop name it.
    auto* insertChip = GuideCards::featureChip(QStringLiteral("Enter"), QStringLiteral("insert"));
    insertChip->setObjectName(QStringLiteral("insertChip"));
    layout->addWidget(
        row({triggerChip, GuideCards::featureChip(QStringLiteral("\U0001FAF6"), QStringLiteral("find")),
             insertChip},
            10, Qt::AlignVCenter, true));

    auto* section = GuideCards::sectionCard(
        QStringLiteral("Built for the tiny moment between thought and send"),
        QStringLiteral("Mosaiko is happiest when it feels like a native reflex."), intro);
    auto* cards =
        row({GuideCards::insightCard(QStringLiteral("Type from anywhere"),
                                     qs(OnboardingViewModel::inlineTriggerInsightBody(trigger)), Accent::warm,
                                     QStringLiteral("keyboard.fill")),
             GuideCards::insightCard(
                 QStringLiteral("Keyboard-first by default"),
                 QStringLiteral("Arrow keys move, Enter inserts, Esc closes, and you can stay fully in "
                                "the active app."),
                 Accent::mint, QStringLiteral("arrow.left.arrow.right.square.fill")),
             GuideCards::insightCard(
                 QStringLiteral("Quiet when it should be"),
                 QStringLiteral("Apps that already provide their own emoji shortcuts can live in "
                                "Excluded Apps so Mosaiko stays out of the way."),
                 Accent::sky, QStringLiteral("moon.stars.fill"))},
            12, Qt::AlignTop, false);
    return pageColumn({section, cards});
}

// ---------------------------------------------------------------- tips

QWidget* OnboardingView::tippsPage() {
    auto* example = GuideCards::codeBadge(qs(OnboardingViewModel::exampleQuery(prefs_.inlineTrigger())));
    example->setObjectName(QStringLiteral("exampleQuery"));
    auto* arrow = new QLabel;
    arrow->setPixmap(SymbolImage::pixmap(QStringLiteral("arrow.right"), DesktopAppearance::secondaryText(),
                                         13, devicePixelRatioF(), true));
    auto* result = GuideStyle::label(QStringLiteral("\U0001FAF6\U0001F3FC"), Typography::emoji(36));
    auto* tryThis = tipsPanel(
        QStringLiteral("Try this"),
        {row({example, arrow, result}, 10, Qt::AlignVCenter, true),
         GuideStyle::label(
             QStringLiteral("Separate keywords with spaces. Space means AND, so every word narrows the "
                            "result instead of resetting the search."),
             Typography::system(12), true, true)},
        12);
    auto* quickTips = tipsPanel(
        QStringLiteral("Quick tips"),
        {GuideCards::tipRow(QStringLiteral("Right click to pin"),
                            QStringLiteral("Right click any entry in the picker to pin it instantly.")),
         GuideCards::tipRow(
             QStringLiteral("Shift+Enter keeps going"),
             QStringLiteral("Insert one emoji and keep the picker open when you know another one is "
                            "coming next.")),
         GuideCards::tipRow(
             QStringLiteral("Tab changes lanes"),
             QStringLiteral("Use Tab to hop across available scopes like Pins, Shortcodes, Emoticons, "
                            "and Glyphs."))},
        10);
    auto* panels = row({tryThis, quickTips}, 14, Qt::AlignTop, false);
    auto* section = GuideCards::sectionCard(
        QStringLiteral("Search like a human, not like a database"),
        QStringLiteral("Names, keywords, shortcodes, and now multiple words all work together."), panels);

    const QuickOpenShortcut shortcut = prefs_.quickOpenShortcut();
    auto* instantOpen = GuideCards::shortcutCard(
        QStringLiteral("Instant open"), qs(OnboardingViewModel::quickOpenShortcutDetail(shortcut)),
        qs(OnboardingViewModel::quickOpenExample(shortcut)), Accent::rose, QStringLiteral("bolt.fill"));
    instantOpen->setObjectName(QStringLiteral("instantOpenCard"));
    auto* grid = new QWidget;
    auto* gridLayout = new QGridLayout(grid);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->setVerticalSpacing(12);
    gridLayout->setHorizontalSpacing(10);
    gridLayout->addWidget(
        GuideCards::shortcutCard(QStringLiteral("Keep the picker open"),
                                 QStringLiteral("Use `Shift+Enter` to insert and stay in place for "
                                                "another emoji."),
                                 QStringLiteral("Shift+Enter"), Accent::sky, QStringLiteral("return")),
        0, 0);
    gridLayout->addWidget(
        GuideCards::shortcutCard(
            QStringLiteral("Jump into skin tones"),
            QStringLiteral("Press `\u2191`, then move with `\u2190` and `\u2192` across the variant "
                           "row."),
            QStringLiteral("\u2191  \u2190  \u2192"), Accent::warm, QStringLiteral("hand.tap.fill")),
        0, 1);
    gridLayout->addWidget(
        GuideCards::shortcutCard(QStringLiteral("Cycle lanes with Tab"),
                                 QStringLiteral("When available, `Tab` hops through scopes like "
                                                "Pins, Shortcodes, Emoticons, and Glyphs."),
                                 QStringLiteral("Tab"), Accent::mint,
                                 QStringLiteral("rectangle.3.group.bubble.left.fill")),
        1, 0);
    gridLayout->addWidget(instantOpen, 1, 1);
    gridLayout->setColumnStretch(0, 1);
    gridLayout->setColumnStretch(1, 1);
    return pageColumn({section, grid});
}

// ---------------------------------------------------------------- permissions

QWidget* OnboardingView::permissionCard(const QString& title, const QString& subtitle,
                                        PermissionStatus status, const QString& icon) {
    auto* card = new GuideSurface(GuideSurface::Look::filled(14, Named::white, 0.08, 0.58, true));
    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(10);

    auto* symbol = new QLabel;
    symbol->setPixmap(
        SymbolImage::pixmap(icon, DesktopAppearance::primaryText(), 14, devicePixelRatioF(), true));
    auto* name = GuideStyle::label(title, Typography::system(14, QFont::DemiBold));
    // The capsule takes the badge colour at a low opacity behind the text in full colour.
    const QColor colour = badgeColour(status);
    QColor fill = colour;
    fill.setAlphaF(static_cast<float>(colour.alphaF() * 0.14));
    auto* badge = new GuideSurface(GuideSurface::Look::fixed(-1, fill));
    auto* badgeLayout = new QHBoxLayout(badge);
    badgeLayout->setContentsMargins(10, 4, 10, 4);
    auto* badgeText = GuideStyle::label(qs(OnboardingViewModel::badgeText(status)),
                                        Typography::monospaced(11, QFont::Bold));
    badgeText->setObjectName(QStringLiteral("statusBadge"));
    GuideStyle::setTextColour(badgeText, colour);
    badgeLayout->addWidget(badgeText);
    badge->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* top = new QHBoxLayout;
    top->setSpacing(10);
    top->addWidget(symbol);
    top->addWidget(name);
    top->addStretch(1);
    top->addWidget(badge);
    layout->addLayout(top);
    layout->addWidget(GuideStyle::label(subtitle, Typography::system(11), true, true));
    // Grant comes before the texts a check adds or removes: it stays where it was, and a second
    // click where the first one was presses it again.
    auto* grant = new QPushButton(QStringLiteral("Grant"));
    grant->setObjectName(QStringLiteral("grantButton"));
    connect(grant, &QPushButton::clicked, this, [this] { model_->grant(); });
    layout->addWidget(row({grant}, 8, Qt::AlignVCenter, true));

    // Grant checks at once: the card says when and what it found, so that a check that finds what
    // the badge already says is seen to have happened.
    if (model_->grantChecks() > 0) {
        auto* finding = GuideStyle::label(
            QStringLiteral("Checked at %1. ").arg(lastGrantCheck_.toString(QStringLiteral("HH:mm:ss"))) +
                qs(OnboardingViewModel::checkFinding(status)),
            Typography::system(11), true, true);
        finding->setObjectName(QStringLiteral("checkFinding"));
        layout->addWidget(finding);
    }

    // This desktop has no settings pane to send the user to: say what stands in the way instead.
    if (status == PermissionStatus::notGranted && !model_->untrustedReason().empty()) {
        auto* reason = GuideStyle::label(qs(model_->untrustedReason()),
                                         Typography::system(11, QFont::DemiBold), false, true);
        reason->setObjectName(QStringLiteral("untrustedReason"));
        layout->addWidget(reason);
        layout->addWidget(
            GuideStyle::label(QStringLiteral("Once that is fixed, press Grant to check again, or "
                                             "Refresh to restart Mosaiko."),
                              Typography::system(11), true, true));
    }

    return card;
}

QWidget* OnboardingView::permissionsPage() {
    auto* why = new QWidget;
    auto* whyLayout = new QVBoxLayout(why);
    whyLayout->setContentsMargins(0, 0, 0, 0);
    whyLayout->setSpacing(14);
    whyLayout->addWidget(
        permissionCard(QStringLiteral("Accessibility"),
                       QStringLiteral("Required to insert emoji text into the active application."),
                       model_->accessibilityStatus(), QStringLiteral("figure.wave.circle")));
    whyLayout->addWidget(
        GuideStyle::label(QStringLiteral("No Accessibility permission means search can still "
                                         "appear, but insertion into the active app cannot happen."),
                          Typography::system(11), true, true));

    const bool resetting = model_->isResettingPermissions();
    auto* stubborn = new QWidget;
    auto* stubbornLayout = new QVBoxLayout(stubborn);
    stubbornLayout->setContentsMargins(0, 0, 0, 0);
    stubbornLayout->setSpacing(14);
    auto* reset = new QPushButton(QStringLiteral("Reset Permissions"));
    reset->setObjectName(QStringLiteral("resetPermissionsButton"));
    GuideStyle::makeProminent(reset);
    connect(reset, &QPushButton::clicked, this, [this] { model_->resetPermissions(); });
    auto* refresh = new QPushButton(QStringLiteral("Refresh"));
    refresh->setObjectName(QStringLiteral("refreshButton"));
    connect(refresh, &QPushButton::clicked, this, [this] { model_->relaunchAppForRestart(); });
    reset->setEnabled(!resetting);
    refresh->setEnabled(!resetting);
    stubbornLayout->addWidget(row({reset, refresh}, 8, Qt::AlignVCenter, true));
    if (resetting) {
        auto* progress = new QProgressBar;
        progress->setObjectName(QStringLiteral("resetProgress"));
        progress->setRange(0, 0);
        progress->setTextVisible(false);
        progress->setFixedSize(120, 10);
        stubbornLayout->addWidget(row(
            {progress, GuideStyle::label(QStringLiteral("Resetting permissions..."), Typography::system(11))},
            8, Qt::AlignVCenter, true));
    }
    stubbornLayout->addWidget(
        GuideStyle::label(QStringLiteral("After changing permissions, restart the app so it "
                                         "refreshes the Accessibility trust state."),
                          Typography::system(11), true, true));

    return pageColumn(
        {GuideCards::sectionCard(QStringLiteral("Why Accessibility is required"),
                                 qs(OnboardingViewModel::accessibilitySubtitle(prefs_.inlineTrigger())), why),
         GuideCards::sectionCard(QStringLiteral("If the desktop gets stubborn"),
                                 QStringLiteral("Reset the permission and relaunch the app from here."),
                                 stubborn)});
}

}  // namespace mosaiko

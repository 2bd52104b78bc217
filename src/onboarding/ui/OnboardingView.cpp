#include "onboarding/ui/OnboardingView.hpp"

#include <QEvent>
#include <QFontMetricsF>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadialGradient>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "content/PreferencesStore.hpp"
#include "onboarding/ui/GuideCards.hpp"
#include "onboarding/ui/GuideStyle.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/SymbolImage.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

using Named = GuideStyle::Named;

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

GuideStyle::Accent tileAccent(OnboardingPage page) {
    switch (page) {
        case OnboardingPage::welcome:
            return GuideStyle::Accent::warm;
        case OnboardingPage::tipps:
            return GuideStyle::Accent::rose;
        case OnboardingPage::permissions:
            break;
    }
    return GuideStyle::Accent::sky;
}

// A one-line text that shrinks down to 0.82 of its size to fit its width, then is cut at the end.
class HeadlineLabel final : public QLabel {
  public:
    HeadlineLabel() {
        setTextFormat(Qt::PlainText);
        setFont(Typography::system(18, QFont::ExtraBold));
        setMinimumWidth(1);
    }
    QSize minimumSizeHint() const override { return {1, sizeHint().height()}; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::TextAntialiasing);
        QFont shown = font();
        const int full = shown.pixelSize();
        const double width = QFontMetricsF(shown).horizontalAdvance(text());
        if (width > this->width()) {
            const int smallest = static_cast<int>(std::ceil(full * 0.82));
            shown.setPixelSize(
                std::max(smallest, static_cast<int>(std::floor(full * this->width() / width))));
        }
        const QString line = QFontMetricsF(shown).elidedText(text(), Qt::ElideRight, this->width());
        painter.setFont(shown);
        painter.setPen(DesktopAppearance::primaryText());
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, line);
    }
};

// One of the guide's page tabs: symbol and title on a rounded tile that marks the current page.
class PageTab final : public QAbstractButton {
  public:
    explicit PageTab(OnboardingPage page) : page_(page) {
        const auto& presentation = onboarding_page::presentation(page);
        setText(QString::fromUtf8(presentation.tabTitle));
        setCheckable(true);
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override {
        const QFontMetricsF metrics(titleFont());
        const double content = 12 + 8 + metrics.horizontalAdvance(text());
        const double line = std::max(12.0, metrics.height());
        return QSize(static_cast<int>(std::ceil(content)) + 28, static_cast<int>(std::ceil(line)) + 20);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        const bool current = isChecked();
        const double fill = current ? GuideStyle::pick(0.12, 0.78) : GuideStyle::pick(0.05, 0.40);
        const QColor border = GuideStyle::isDark() ? GuideStyle::named(Named::white, current ? 0.28 : 0.16)
                                                   : GuideStyle::named(Named::black, current ? 0.12 : 0.08);
        GuideStyle::paintSurface(painter, QRectF(rect()), 14, GuideStyle::named(Named::white, fill), {},
                                 false);
        painter.setPen(QPen(border, 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 13.5, 13.5);

        const QColor colour = current ? DesktopAppearance::primaryText() : DesktopAppearance::secondaryText();
        const QFontMetricsF metrics(titleFont());
        const double contentWidth = 12 + 8 + metrics.horizontalAdvance(text());
        double x = std::max(14.0, (width() - contentWidth) / 2);
        const QPixmap symbol =
            SymbolImage::pixmap(QString::fromUtf8(onboarding_page::presentation(page_).tabSymbol), colour, 12,
                                devicePixelRatioF(), true);
        if (!symbol.isNull()) painter.drawPixmap(QPointF(x, (height() - 12) / 2.0), symbol);
        x += 12 + 8;
        painter.setFont(titleFont());
        painter.setPen(colour);
        painter.drawText(QRectF(x, 0, width() - x - 14, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    }

  private:
    static QFont titleFont() { return Typography::system(12, QFont::DemiBold); }
    OnboardingPage page_;
};

}  // namespace

OnboardingView::OnboardingView(OnboardingPage startPage, PreferencesStore& prefs,
                               OnboardingViewModel::Dependencies dependencies, QWidget* parent)
    : QWidget(parent),
      prefs_(prefs),
      model_(std::make_unique<OnboardingViewModel>(startPage, std::move(dependencies))),
      refresh_(this, [this] { refresh(); }) {
    // Its usual height where the screen has room for it; on a smaller screen only the page gives
    // way, the header with the page tabs and the footer with the buttons staying in view.
    setFixedWidth(kWidth);
    resize(kWidth, kHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    GuideStyle::applyAppearance(this);
    buildFrame();
    refresh_.watch(model_->currentPage);
    refresh_.watch(model_->accessibilityStatus);
    refresh_.watch(model_->untrustedReason);
    refresh_.watch(model_->isResettingPermissions);
    grantCheckTimes_ = model_->grantChecks.subscribe([this](int checks) {
        if (checks > 0) lastGrantCheck_ = QTime::currentTime();
    });
    refresh_.watch(model_->grantChecks);
    refresh_.watch(model_->resetErrorMessage);
    refresh_.watch(prefs_.inlineTrigger);
    refresh_.watch(prefs_.quickOpenShortcut);
}

OnboardingView::~OnboardingView() = default;

std::pair<QColor, QColor> OnboardingView::backgroundGradientColors(OnboardingPage page, bool dark) {
    const auto rgb = [](double r, double g, double b) { return QColor::fromRgbF(r, g, b); };
    switch (page) {
        case OnboardingPage::welcome:
            return dark ? std::pair{rgb(0.18, 0.13, 0.16), rgb(0.13, 0.18, 0.16)}
                        : std::pair{rgb(0.99, 0.95, 0.92), rgb(0.96, 0.99, 0.95)};
        case OnboardingPage::tipps:
            return dark ? std::pair{rgb(0.20, 0.11, 0.14), rgb(0.11, 0.17, 0.16)}
                        : std::pair{rgb(1.00, 0.94, 0.95), rgb(0.99, 0.98, 0.93)};
        case OnboardingPage::permissions:
            break;
    }
    return dark ? std::pair{rgb(0.10, 0.14, 0.21), rgb(0.08, 0.18, 0.14)}
                : std::pair{rgb(0.97, 0.98, 1.00), rgb(0.95, 0.99, 0.97)};
}

// ---------------------------------------------------------------- frame

void OnboardingView::buildFrame() {
    tabs_.clear();
    page_ = nullptr;
    frame_ = new QWidget(this);
    QWidget::layout()->addWidget(frame_);
    auto* layout = new QVBoxLayout(frame_);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(18);
    layout->addWidget(buildHeader());

    pageArea_ = new QScrollArea;
    pageArea_->setObjectName(QStringLiteral("pageArea"));
    pageArea_->setFrameShape(QFrame::NoFrame);
    pageArea_->setWidgetResizable(true);
    pageArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pageArea_->setAutoFillBackground(false);
    pageArea_->viewport()->setAutoFillBackground(false);
    layout->addWidget(pageArea_, 1);

    layout->addWidget(buildFooter());
    showPage();
    refresh();
}

QWidget* OnboardingView::buildHeader() {
    auto* header = new QWidget;
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(18);

    auto* tile = new GuideSurface(GuideSurface::Look::accented(24, GuideStyle::Accent::warm, false));
    tile->setFixedSize(82, 82);
    auto* shadow = new QGraphicsDropShadowEffect(tile);
    shadow->setColor(GuideStyle::named(Named::black, GuideStyle::pick(0.25, 0.08)));
    shadow->setBlurRadius(18);
    shadow->setOffset(0, 8);
    tile->setGraphicsEffect(shadow);
    auto* tileLayout = new QVBoxLayout(tile);
    tileLayout->setContentsMargins(0, 0, 0, 0);
    headerEmoji_ = GuideStyle::label({}, Typography::emoji(34));
    headerEmoji_->setAlignment(Qt::AlignCenter);
    tileLayout->addWidget(headerEmoji_);
    headerTile_ = tile;
    row->addWidget(tile, 0, Qt::AlignTop);

    auto* column = new QVBoxLayout;
    column->setSpacing(14);
    headline_ = new HeadlineLabel;
    headline_->setObjectName(QStringLiteral("headline"));
    column->addWidget(headline_);
    auto* tabRow = new QHBoxLayout;
    tabRow->setSpacing(10);
    for (const OnboardingPage page : onboarding_page::allCases) {
        auto* tab = new PageTab(page);
        connect(tab, &QAbstractButton::clicked, this, [this, page] {
            model_->selectPage(page);
            // A click on the current tab toggled it off: only the current page's tab is checked.
            for (const auto& [tabPage, each] : tabs_) each->setChecked(tabPage == model_->currentPage());
        });
        tabs_[page] = tab;
        tabRow->addWidget(tab, 1);
    }
    column->addLayout(tabRow);
    column->addStretch(1);
    row->addLayout(column, 1);
    return header;
}

QWidget* OnboardingView::buildFooter() {
    auto* footer = new QWidget;
    auto* row = new QHBoxLayout(footer);
    row->setContentsMargins(0, 0, 0, 0);
    leadingButton_ = new QPushButton;
    leadingButton_->setObjectName(QStringLiteral("leadingButton"));
    connect(leadingButton_, &QPushButton::clicked, this, [this] { model_->handleLeadingButton(); });
    stepCounter_ = GuideStyle::label({}, Typography::monospaced(11, QFont::Bold), true);
    stepCounter_->setObjectName(QStringLiteral("stepCounter"));
    trailingButton_ = new QPushButton;
    trailingButton_->setObjectName(QStringLiteral("trailingButton"));
    GuideStyle::makeProminent(trailingButton_);
    connect(trailingButton_, &QPushButton::clicked, this, [this] { model_->handleTrailingButton(); });
    row->addWidget(leadingButton_);
    row->addStretch(1);
    row->addWidget(stepCounter_);
    row->addStretch(1);
    row->addWidget(trailingButton_);
    return footer;
}

void OnboardingView::refresh() {
    const OnboardingPage page = model_->currentPage();
    const auto& presentation = onboarding_page::presentation(page);
    static_cast<GuideSurface*>(headerTile_)
        ->setLook(GuideSurface::Look::accented(24, tileAccent(page), false));
    headerEmoji_->setText(QString::fromUtf8(presentation.headerEmoji));
    headline_->setText(QString::fromUtf8(presentation.headline));
    for (const auto& [tabPage, tab] : tabs_) tab->setChecked(tabPage == page);
    leadingButton_->setText(qs(model_->leadingButtonTitle()));
    trailingButton_->setText(qs(model_->trailingButtonTitle()));
    stepCounter_->setText(qs(model_->stepCounterText()));
    showPage();
    presentErrorAlert();
    update();
}

void OnboardingView::showPage() {
    // The focused control of the old page keeps the focus on the new one when it is there too.
    QWidget* focused = focusWidget();
    const QString focusedName =
        focused && page_ && page_->isAncestorOf(focused) ? focused->objectName() : QString();
    const int scrolled = pageArea_->verticalScrollBar() ? pageArea_->verticalScrollBar()->value() : 0;
    const bool samePage =
        page_ && page_->property("page").toInt() == onboarding_page::rawValue(model_->currentPage());

    QWidget* content = nullptr;
    switch (model_->currentPage()) {
        case OnboardingPage::welcome:
            content = welcomePage();
            break;
        case OnboardingPage::tipps:
            content = tippsPage();
            break;
        case OnboardingPage::permissions:
            content = permissionsPage();
            break;
    }
    auto* holder = new QWidget;
    holder->setProperty("page", onboarding_page::rawValue(model_->currentPage()));
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 4);
    layout->addWidget(content);
    layout->addStretch(1);
    // Replacing the widget deletes the old page: this runs from the event loop, never from inside
    // one of the old page's own handlers.
    pageArea_->setWidget(holder);
    holder->setAutoFillBackground(false);  // the scroll area turns it on: the background shows through
    page_ = holder;
    if (samePage) pageArea_->verticalScrollBar()->setValue(scrolled);
    if (!focusedName.isEmpty()) {
        if (auto* again = holder->findChild<QWidget*>(focusedName)) again->setFocus();
    }
}

void OnboardingView::presentErrorAlert() {
    const auto& message = model_->resetErrorMessage();
    if (!message) {
        if (errorAlert_) errorAlert_->close();
        return;
    }
    if (!errorAlert_) {
        auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Permission action failed"), {},
                                      QMessageBox::NoButton, this);
        alert->setObjectName(QStringLiteral("permissionErrorAlert"));
        alert->setTextFormat(Qt::PlainText);
        alert->addButton(QStringLiteral("OK"), QMessageBox::RejectRole);
        alert->setAttribute(Qt::WA_DeleteOnClose);
        alert->setWindowModality(Qt::WindowModal);
        // Any way of dismissing it clears the message, so the next failure shows again.
        connect(alert, &QMessageBox::finished, this, [this] { model_->setShowingResetError(false); });
        errorAlert_ = alert;
        alert->setText(qs(*message));
        alert->open();
        return;
    }
    errorAlert_->setText(qs(*message));
}

// ---------------------------------------------------------------- painting and events

void OnboardingView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool dark = GuideStyle::isDark();
    const auto [first, second] = backgroundGradientColors(model_->currentPage(), dark);
    QLinearGradient background(rect().topLeft(), rect().bottomRight());
    background.setColorAt(0, first);
    background.setColorAt(1, second);
    painter.fillRect(rect(), background);

    // Two soft circles behind the content. Without a compositor Qt cannot blur what lies behind a
    // widget, so each circle is a radial gradient that fades over its blur radius.
    struct Ornament {
        QColor colour;
        double diameter, blur, dx, dy;
    };
    const Ornament ornaments[] = {
        {GuideStyle::named(Named::white, dark ? 0.05 : 0.38), 240, 12, 260, -210},
        {GuideStyle::named(Named::orange, dark ? 0.10 : 0.18), 220, 22, -260, 220},
    };
    const QPointF centre = QRectF(rect()).center();
    for (const auto& o : ornaments) {
        const QPointF c = centre + QPointF(o.dx, o.dy);
        const double outer = o.diameter / 2 + o.blur;
        QRadialGradient glow(c, outer);
        QColor clear = o.colour;
        clear.setAlpha(0);
        glow.setColorAt(0, o.colour);
        glow.setColorAt((o.diameter / 2 - o.blur) / outer, o.colour);
        glow.setColorAt(1, clear);
        painter.setPen(Qt::NoPen);
        painter.setBrush(glow);
        painter.drawEllipse(c, outer, outer);
    }
}

void OnboardingView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (appeared_) return;
    appeared_ = true;
    // Once the window is on screen: the check may take a moment on a slow display.
    QTimer::singleShot(0, this, [this] { model_->appeared(); });
}

void OnboardingView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    const bool appearance =
        event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange;
    if (!appearance || rebuilding_ || !frame_) return;
    // Light and dark switch every colour: build the frame again in the new appearance.
    rebuilding_ = true;
    frame_->deleteLater();
    frame_->hide();
    buildFrame();
    frame_->show();
    rebuilding_ = false;
}

}  // namespace mosaiko

#include "settings/ui/SettingsStyle.hpp"

#include <QComboBox>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextOption>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/MixedTextLine.hpp"
#include "platform/qt/PlainToolTip.hpp"
#include "platform/qt/SymbolImage.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

QColor SettingsStyle::Tint::resolved() const {
    return DesktopAppearance::withOpacity(color, SettingsStyle::isDark() ? dark : light);
}

bool SettingsStyle::isDark() {
    return DesktopAppearance::isDark();
}

QColor SettingsStyle::white(double dark, double light) {
    return DesktopAppearance::withOpacity(Qt::white, isDark() ? dark : light);
}

QColor SettingsStyle::border() {
    return isDark() ? DesktopAppearance::withOpacity(Qt::white, 0.16)
                    : DesktopAppearance::withOpacity(Qt::black, 0.08);
}

std::vector<QColor> SettingsStyle::headerGradientColors() {
    if (isDark()) return {QColor::fromRgbF(0.17f, 0.24f, 0.32f), QColor::fromRgbF(0.13f, 0.28f, 0.22f)};
    return {QColor::fromRgbF(0.93f, 0.96f, 1.0f), QColor::fromRgbF(0.92f, 0.98f, 0.94f)};
}

std::vector<QColor> SettingsStyle::resolved(const Gradient& gradient) {
    std::vector<QColor> colors;
    colors.reserve(gradient.size());
    for (const Tint& tint : gradient) colors.push_back(tint.resolved());
    return colors;
}

QPalette SettingsStyle::palette() {
    QPalette palette = QGuiApplication::palette();
    const bool paletteDark = palette.color(QPalette::Window).lightness() < 128;
    if (paletteDark != isDark()) {
        const QColor window = DesktopAppearance::windowBackground();
        const QColor text = DesktopAppearance::primaryText();
        const QColor base = isDark() ? QColor(0x1e, 0x1e, 0x20) : QColor(Qt::white);
        const QColor button = isDark() ? QColor(0x3a, 0x3a, 0x3c) : QColor(0xf6, 0xf6, 0xf6);
        for (auto group : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(group, QPalette::Window, window);
            palette.setColor(group, QPalette::WindowText, text);
            palette.setColor(group, QPalette::Base, base);
            palette.setColor(group, QPalette::AlternateBase, window);
            palette.setColor(group, QPalette::Text, text);
            palette.setColor(group, QPalette::Button, button);
            palette.setColor(group, QPalette::ButtonText, text);
            palette.setColor(group, QPalette::ToolTipBase, base);
            palette.setColor(group, QPalette::ToolTipText, text);
        }
        const QColor disabled = DesktopAppearance::withOpacity(text, 0.35);
        palette.setColor(QPalette::Disabled, QPalette::Window, window);
        palette.setColor(QPalette::Disabled, QPalette::Base, base);
        palette.setColor(QPalette::Disabled, QPalette::Button, button);
        palette.setColor(QPalette::Disabled, QPalette::WindowText, disabled);
        palette.setColor(QPalette::Disabled, QPalette::Text, disabled);
        palette.setColor(QPalette::Disabled, QPalette::ButtonText, disabled);
    }
    palette.setColor(QPalette::Highlight, DesktopAppearance::accent());
    palette.setColor(QPalette::PlaceholderText, DesktopAppearance::secondaryText());
    return palette;
}

void SettingsStyle::paintBox(QPainter& painter, const QRectF& rect, double radius,
                             const std::vector<QColor>& colors, const QColor& border) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    if (colors.size() == 1) {
        painter.fillPath(path, colors.front());
    } else if (colors.size() > 1) {
        QLinearGradient gradient(rect.topLeft(), rect.bottomRight());
        for (std::size_t i = 0; i < colors.size(); ++i)
            gradient.setColorAt(static_cast<double>(i) / static_cast<double>(colors.size() - 1), colors[i]);
        painter.fillPath(path, gradient);
    }
    if (border.alpha() > 0) {
        // A 1 pt line inside the edge: the stroke runs half a point in from the outline.
        painter.setPen(QPen(border, 1.0));
        painter.setBrush(Qt::NoBrush);
        const double inner = std::max(0.0, radius - 0.5);
        painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), inner, inner);
    }
    painter.restore();
}

void SettingsStyle::paintSymbol(QPainter& painter, const QString& name, const QColor& color, double points,
                                const QRectF& rect, bool bold) {
    const QPixmap image =
        SymbolImage::pixmap(name, color, points, painter.device()->devicePixelRatioF(), bold);
    if (image.isNull()) return;
    painter.drawPixmap(QPointF(rect.center().x() - points / 2, rect.center().y() - points / 2), image);
}

QLabel* SettingsStyle::label(const QString& text, double points, QFont::Weight weight, bool secondary,
                             QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(Typography::system(points, weight));
    setSecondary(label, secondary);
    return label;
}

QLabel* SettingsStyle::monospacedLabel(const QString& text, double points, QFont::Weight weight,
                                       bool secondary, QWidget* parent) {
    QLabel* result = label(text, points, weight, secondary, parent);
    result->setFont(Typography::monospaced(points, weight));
    return result;
}

ElidedLabel* SettingsStyle::elidedLabel(const QString& text, const QFont& font, bool secondary,
                                        QWidget* parent) {
    auto* result = new ElidedLabel(text, parent);
    result->setFont(font);
    setSecondary(result, secondary);
    return result;
}

QLabel* SettingsStyle::wrappingLabel(const QString& text, double points, QFont::Weight weight, bool secondary,
                                     QWidget* parent) {
    auto* result = new WrappingLabel(text, parent);
    result->setFont(Typography::system(points, weight));
    setSecondary(result, secondary);
    return result;
}

void SettingsStyle::setSecondary(QLabel* label, bool secondary) {
    label->setForegroundRole(secondary ? QPalette::PlaceholderText : QPalette::WindowText);
}

void SettingsStyle::fitChoices(QComboBox& choices, int width) {
    choices.setSizeAdjustPolicy(QComboBox::AdjustToContents);
    choices.setMinimumWidth(width);
    choices.setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

namespace {

constexpr char16_t kVisibleSpace = 0x2420;

// The text cut where it changes between the visible-space symbol and anything else.
std::vector<std::pair<QString, bool>> sequenceRuns(const QString& text) {
    std::vector<std::pair<QString, bool>> runs;
    for (const QChar c : text) {
        const bool symbol = c.unicode() == kVisibleSpace;
        if (runs.empty() || runs.back().second != symbol) runs.emplace_back(QString(), symbol);
        runs.back().first += c;
    }
    return runs;
}

// The visible-space symbol in the look of `font`: its two letters at a fraction of the size and
// two weights heavier (thin strokes at a small size would read fainter than the text), the "S"
// hanging from the cap height, the "P" standing on the baseline most of a letter to its right.
class VisibleSpaceSymbol {
  public:
    explicit VisibleSpaceSymbol(const QFont& font) : letters_(font) {
        constexpr double kLetterScale = 0.68;
        if (font.pixelSize() > 0) {
            letters_.setPixelSize(
                std::max(1, static_cast<int>(std::lround(font.pixelSize() * kLetterScale))));
        } else {
            letters_.setPointSizeF(font.pointSizeF() * kLetterScale);
        }
        letters_.setWeight(static_cast<QFont::Weight>(std::min(900, font.weight() + 200)));
        const QFontMetricsF text(font);
        const QFontMetricsF small(letters_);
        capHeight_ = text.capHeight();
        smallCapHeight_ = small.capHeight();
        s_ = small.horizontalAdvance(QLatin1Char('S'));
        p_ = small.horizontalAdvance(QLatin1Char('P'));
        const double pair = s_ * kStep + p_;
        side_ = std::max(0.0, (text.horizontalAdvance(QLatin1Char('0')) - pair) / 2) + 1;
        advance_ = pair + 2 * side_;
    }

    double advance() const { return advance_; }

    void draw(QPainter& painter, double x, double baseline) const {
        painter.setFont(letters_);
        painter.drawText(QPointF(x + side_, baseline - capHeight_ + smallCapHeight_), QStringLiteral("S"));
        painter.drawText(QPointF(x + side_ + s_ * kStep, baseline), QStringLiteral("P"));
    }

  private:
    static constexpr double kStep = 0.8;  // of the "S", to the "P"

    QFont letters_;
    double capHeight_ = 0;
    double smallCapHeight_ = 0;
    double s_ = 0;
    double p_ = 0;
    double side_ = 0;
    double advance_ = 0;
};

}  // namespace

double SettingsStyle::sequenceWidth(const QFont& font, const QString& text) {
    const QFontMetricsF metrics(font);
    const VisibleSpaceSymbol symbol(font);
    double width = 0;
    for (const auto& [run, isSymbol] : sequenceRuns(text))
        width +=
            isSymbol ? symbol.advance() * static_cast<double>(run.size()) : metrics.horizontalAdvance(run);
    return width;
}

void SettingsStyle::drawSequence(QPainter& painter, const QRectF& rect, Qt::Alignment alignment,
                                 const QFont& font, const QString& text) {
    const double width = sequenceWidth(font, text);
    double x = rect.left();
    if (alignment & Qt::AlignRight) x = rect.right() - width;
    if (alignment & Qt::AlignHCenter) x = rect.left() + (rect.width() - width) / 2;
    const QFontMetricsF metrics(font);
    const double baseline = rect.top() + (rect.height() - metrics.height()) / 2 + metrics.ascent();
    const VisibleSpaceSymbol symbol(font);
    painter.save();
    for (const auto& [run, isSymbol] : sequenceRuns(text)) {
        if (isSymbol) {
            for (qsizetype i = 0; i < run.size(); ++i, x += symbol.advance())
                symbol.draw(painter, x, baseline);
            continue;
        }
        painter.setFont(font);
        painter.drawText(QPointF(x, baseline), run);
        x += metrics.horizontalAdvance(run);
    }
    painter.restore();
}

// ---------------------------------------------------------------- WrappingLabel

WrappingLabel::WrappingLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

QSize WrappingLabel::sizeHint() const {
    const QSize guess = QLabel::sizeHint();
    return {guess.width(), heightForWidth(width() > 0 ? width() : guess.width())};
}

QSize WrappingLabel::minimumSizeHint() const {
    return {0, sizeHint().height()};
}

void WrappingLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    if (height() != heightForWidth(width())) updateGeometry();
}

// ---------------------------------------------------------------- SequenceLabel

SequenceLabel::SequenceLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
}

QSize SequenceLabel::sizeHint() const {
    const QMargins margins = contentsMargins();
    return {static_cast<int>(std::ceil(SettingsStyle::sequenceWidth(font(), text()))) + margins.left() +
                margins.right(),
            QLabel::sizeHint().height()};
}

void SequenceLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    SettingsStyle::drawSequence(painter, QRectF(contentsRect()), alignment(), font(), text());
}

// ---------------------------------------------------------------- ElidedLabel

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setFullText(text);
}

void ElidedLabel::setFullText(const QString& text) {
    full_ = text;
    // The label's own text stays the whole name (for readers and tests); painting elides it.
    setText(text);
    updateToolTip();
}

QString ElidedLabel::shownText() const {
    QString line = full_;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return MixedTextLine::elided(line, font(), contentsRect().width());
}

bool ElidedLabel::isElided() const {
    QString line = full_;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return shownText() != line;
}

QSize ElidedLabel::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

QSize ElidedLabel::sizeHint() const {
    return QLabel::sizeHint();
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    // A name runs in its own direction (a cut right-to-left name ends in "…" on its left) and
    // still starts at the column's edge.
    QTextOption option(alignment() | Qt::AlignAbsolute);
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(full_.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
    if (!MixedTextLine::drawWithEmoji(painter, QRectF(contentsRect()), shownText(), option))
        painter.drawText(QRectF(contentsRect()), shownText(), option);
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    updateToolTip();
}

void ElidedLabel::updateToolTip() {
    setToolTip(isElided() ? plainToolTip(full_) : QString());
}

// ---------------------------------------------------------------- BoxFrame

BoxFrame::BoxFrame(double radius, double fillDark, double fillLight, QWidget* parent)
    : QWidget(parent), radius_(radius), fillDark_(fillDark), fillLight_(fillLight) {}

void BoxFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    SettingsStyle::paintBox(painter, QRectF(rect()), radius_, {SettingsStyle::white(fillDark_, fillLight_)},
                            SettingsStyle::border());
}

// ---------------------------------------------------------------- SymbolTile

SymbolTile::SymbolTile(Look look, QWidget* parent) : QWidget(parent), look_(std::move(look)) {
    setFixedSize(sizeHint());
}

QSize SymbolTile::sizeHint() const {
    const int side = static_cast<int>(look_.side);
    return {side, side};
}

void SymbolTile::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF area(rect());
    if (look_.fillDark > 0 || look_.fillLight > 0) {
        SettingsStyle::paintBox(painter, area, look_.radius,
                                {SettingsStyle::white(look_.fillDark, look_.fillLight)}, Qt::transparent);
    }
    const QColor color = palette().color(look_.secondary ? QPalette::PlaceholderText : QPalette::WindowText);
    SettingsStyle::paintSymbol(painter, look_.symbol, color, look_.symbolPoints, area, look_.bold);
}

// ---------------------------------------------------------------- BadgeLabel

BadgeLabel::BadgeLabel(const QString& text, const QFont& font, QWidget* parent)
    : BadgeLabel(text, font, Look{}, parent) {}

BadgeLabel::BadgeLabel(const QString& text, const QFont& font, Look look, QWidget* parent)
    : QLabel(text, parent), look_(look) {
    setTextFormat(Qt::PlainText);
    setFont(font);
    setContentsMargins(look_.horizontalPadding, look_.verticalPadding, look_.horizontalPadding,
                       look_.verticalPadding);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize BadgeLabel::sizeHint() const {
    const QMargins margins = contentsMargins();
    return {static_cast<int>(std::ceil(SettingsStyle::sequenceWidth(font(), text()))) + margins.left() +
                margins.right(),
            QLabel::sizeHint().height()};
}

void BadgeLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    SettingsStyle::paintBox(painter, QRectF(rect()), look_.radius,
                            {SettingsStyle::white(look_.fillDark, look_.fillLight)}, SettingsStyle::border());
    painter.setPen(palette().color(foregroundRole()));
    SettingsStyle::drawSequence(painter, QRectF(contentsRect()), Qt::AlignHCenter, font(), text());
}

}  // namespace mosaiko

#include "onboarding/ui/GuideStyle.hpp"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainterPath>
#include <QPalette>
#include <algorithm>

#include "platform/qt/DesktopAppearance.hpp"

namespace mosaiko {

QColor GuideStyle::named(Named colour, double opacity) {
    QColor c;
    switch (colour) {
        case Named::white:
            c = QColor(255, 255, 255);
            break;
        case Named::black:
            c = QColor(0, 0, 0);
            break;
        case Named::orange:
            c = QColor(247, 143, 24);
            break;
        case Named::yellow:
            c = QColor(246, 201, 26);
            break;
        case Named::green:
            c = isDark() ? QColor(64, 196, 100) : QColor(38, 160, 74);
            break;
        case Named::mint:
            c = QColor(32, 196, 184);
            break;
        case Named::blue:
            c = QColor(28, 118, 240);
            break;
        case Named::teal:
            c = QColor(44, 170, 198);
            break;
        case Named::pink:
            c = QColor(240, 64, 110);
            break;
        case Named::red:
            c = isDark() ? QColor(250, 82, 72) : QColor(222, 48, 40);
            break;
    }
    return DesktopAppearance::withOpacity(c, opacity);
}

bool GuideStyle::isDark() {
    return DesktopAppearance::isDark();
}

std::pair<QColor, QColor> GuideStyle::accentGradient(Accent accent) {
    switch (accent) {
        case Accent::warm:
            return {named(Named::orange, pick(0.40, 0.24)), named(Named::yellow, pick(0.22, 0.16))};
        case Accent::mint:
            return {named(Named::green, pick(0.34, 0.20)), named(Named::mint, pick(0.22, 0.14))};
        case Accent::sky:
            return {named(Named::blue, pick(0.34, 0.20)), named(Named::teal, pick(0.24, 0.14))};
        case Accent::rose:
            break;
    }
    return {named(Named::pink, pick(0.34, 0.22)), named(Named::red, pick(0.24, 0.14))};
}

QColor GuideStyle::border() {
    return isDark() ? named(Named::white, 0.16) : named(Named::black, 0.08);
}

void GuideStyle::paintSurface(QPainter& painter, const QRectF& rect, double radius, const QColor& fill,
                              const std::optional<std::pair<QColor, QColor>>& gradient, bool bordered) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const auto radiusOf = [](const QRectF& r, double wanted) {
        return wanted < 0 ? std::min(r.width(), r.height()) / 2 : wanted;
    };
    QPainterPath path;
    path.addRoundedRect(rect, radiusOf(rect, radius), radiusOf(rect, radius));
    if (gradient) {
        QLinearGradient brush(rect.topLeft(), rect.bottomRight());
        brush.setColorAt(0, gradient->first);
        brush.setColorAt(1, gradient->second);
        painter.fillPath(path, brush);
    } else if (fill.alpha() > 0) {
        painter.fillPath(path, fill);
    }
    if (bordered) {
        // A 1 pt line inside the edge: the shape inset by half the line width.
        const QRectF inner = rect.adjusted(0.5, 0.5, -0.5, -0.5);
        const double r = std::max(0.0, radiusOf(rect, radius) - 0.5);
        painter.setPen(QPen(border(), 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(inner, r, r);
    }
    painter.restore();
}

QLabel* GuideStyle::label(const QString& text, const QFont& font, bool secondary, bool wraps,
                          QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(font);
    label->setWordWrap(wraps);
    setTextColour(label, secondary ? DesktopAppearance::secondaryText() : DesktopAppearance::primaryText());
    return label;
}

void GuideStyle::setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

void GuideStyle::makeProminent(QWidget* button) {
    QPalette palette = button->palette();
    const QColor accent = DesktopAppearance::accent();
    palette.setColor(QPalette::Button, accent);
    palette.setColor(QPalette::ButtonText, DesktopAppearance::textOn(accent));
    button->setPalette(palette);
}

void GuideStyle::applyAppearance(QWidget* content) {
    const QPalette desktop = QGuiApplication::palette();
    if (DesktopAppearance::windowBackground() == desktop.color(QPalette::Window)) return;
    const bool dark = isDark();
    QPalette palette = desktop;
    palette.setColor(QPalette::Window, DesktopAppearance::windowBackground());
    palette.setColor(QPalette::WindowText, DesktopAppearance::primaryText());
    palette.setColor(QPalette::Base, dark ? QColor(30, 30, 32) : QColor(255, 255, 255));
    palette.setColor(QPalette::AlternateBase, dark ? QColor(40, 40, 44) : QColor(245, 245, 245));
    palette.setColor(QPalette::Text, DesktopAppearance::primaryText());
    palette.setColor(QPalette::Button, dark ? QColor(62, 62, 66) : QColor(239, 239, 239));
    palette.setColor(QPalette::ButtonText, DesktopAppearance::primaryText());
    palette.setColor(QPalette::Light, dark ? QColor(90, 90, 96) : QColor(255, 255, 255));
    palette.setColor(QPalette::Mid, dark ? QColor(50, 50, 54) : QColor(184, 184, 184));
    palette.setColor(QPalette::Dark, dark ? QColor(20, 20, 22) : QColor(160, 160, 160));
    content->setPalette(palette);
}

// ---------------------------------------------------------------- GuideSurface

GuideSurface::GuideSurface(Look look, QWidget* parent) : QWidget(parent), look_(look) {}

void GuideSurface::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    std::optional<std::pair<QColor, QColor>> gradient;
    if (look_.accent) gradient = GuideStyle::accentGradient(*look_.accent);
    const QColor fill =
        look_.fixedFill
            ? *look_.fixedFill
            : GuideStyle::named(look_.fillColour, GuideStyle::pick(look_.darkOpacity, look_.lightOpacity));
    GuideStyle::paintSurface(painter, QRectF(rect()), look_.radius, fill, gradient, look_.bordered);
}

}  // namespace mosaiko

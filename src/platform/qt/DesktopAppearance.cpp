#include "platform/qt/DesktopAppearance.hpp"

#include <QGuiApplication>
#include <QPalette>

namespace mosaiko {

namespace {

std::optional<bool>& darkOverride() {
    static std::optional<bool> value;
    return value;
}

std::optional<QColor>& accentOverride() {
    static std::optional<QColor> value;
    return value;
}

bool paletteIsDark() {
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

}  // namespace

bool DesktopAppearance::isDark() {
    if (darkOverride()) return *darkOverride();
    return paletteIsDark();
}

QColor DesktopAppearance::accent() {
    if (accentOverride()) return *accentOverride();
    return QGuiApplication::palette().color(QPalette::Highlight);
}

void DesktopAppearance::overrideDark(std::optional<bool> dark) {
    darkOverride() = dark;
}

void DesktopAppearance::overrideAccent(std::optional<QColor> accent) {
    accentOverride() = accent;
}

QColor DesktopAppearance::windowBackground() {
    if (isDark() == paletteIsDark()) return QGuiApplication::palette().color(QPalette::Window);
    return isDark() ? QColor(0x2b, 0x2b, 0x2d) : QColor(0xec, 0xec, 0xec);
}

QColor DesktopAppearance::primaryText() {
    if (isDark() == paletteIsDark()) return QGuiApplication::palette().color(QPalette::WindowText);
    return isDark() ? QColor(0xf2, 0xf2, 0xf2) : QColor(0x1d, 0x1d, 0x1f);
}

QColor DesktopAppearance::secondaryText() {
    return withOpacity(primaryText(), isDark() ? 0.55 : 0.5);
}

QColor DesktopAppearance::withOpacity(QColor color, double opacity) {
    color.setAlphaF(static_cast<float>(opacity));
    return color;
}

}  // namespace mosaiko

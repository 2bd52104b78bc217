#include "platform/qt/DesktopAppearance.hpp"

#include <QtGui/qguiapplication_platform.h>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QWidget>

// After Qt's headers: Xlib's macros clash with them.
#include <X11/Xlib.h>

#include <algorithm>
#include <cmath>
#include <string>

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

std::optional<bool>& blendOverride() {
    static std::optional<bool> value;
    return value;
}

// Runs its action when the palette of the widget that owns it changes with the desktop's.
class PaletteChangeFilter final : public QObject {
  public:
    PaletteChangeFilter(QWidget& widget, std::function<void()> apply)
        : QObject(&widget), apply_(std::move(apply)) {
        widget.installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // A window hears of the desktop's new palette, a widget inside one of its window's. A
        // palette that `apply` sets runs it once more, to set the same values, and stops there.
        const QEvent::Type type = event->type();
        if (watched == parent() &&
            (type == QEvent::ApplicationPaletteChange || type == QEvent::PaletteChange))
            apply_();
        return false;
    }

  private:
    std::function<void()> apply_;
};

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

bool DesktopAppearance::translucentWindowsBlend() {
    if (blendOverride()) return *blendOverride();
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return true;
    // A compositing manager owns the selection _NET_WM_CM_S<screen number>.
    const std::string selection = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    return XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False)) != None;
}

void DesktopAppearance::overrideTranslucentWindowsBlend(std::optional<bool> blend) {
    blendOverride() = blend;
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

void DesktopAppearance::follow(QWidget& widget, std::function<void()> apply) {
    apply();
    new PaletteChangeFilter(widget, std::move(apply));
}

void DesktopAppearance::keepColours(QWidget& widget, std::function<void(QPalette&)> set) {
    follow(widget, [&widget, set = std::move(set)] {
        QPalette palette = widget.palette();
        set(palette);
        widget.setPalette(palette);
    });
}

QColor DesktopAppearance::withOpacity(QColor color, double opacity) {
    color.setAlphaF(static_cast<float>(opacity));
    return color;
}

namespace {

double relativeLuminance(const QColor& color) {
    const auto linear = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = color.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

}  // namespace

double DesktopAppearance::contrastRatio(const QColor& a, const QColor& b) {
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor DesktopAppearance::readableOn(const QColor& ink, const QColor& background, double minimum) {
    if (contrastRatio(ink, background) >= minimum) return ink;
    float hue = 0;
    float saturation = 0;
    float lightness = 0;
    float alpha = 1;
    ink.toHsl().getHslF(&hue, &saturation, &lightness, &alpha);
    const auto at = [&](float l) { return QColor::fromHslF(hue, saturation, l, alpha).toRgb(); };
    const bool lighten = contrastRatio(Qt::white, background) >= contrastRatio(Qt::black, background);
    float near = lightness;
    float far = lighten ? 1.0f : 0.0f;
    if (contrastRatio(at(far), background) < minimum) return at(far);
    // The lightness closest to the ink's own that is far enough.
    for (int step = 0; step < 24; ++step) {
        const float middle = (near + far) / 2;
        (contrastRatio(at(middle), background) >= minimum ? far : near) = middle;
    }
    return at(far);
}

QColor DesktopAppearance::textOn(const QColor& fill) {
    const QColor white(Qt::white);
    const QColor black(0x1d, 0x1d, 0x1f);
    return contrastRatio(white, fill) >= contrastRatio(black, fill) ? white : black;
}

}  // namespace mosaiko

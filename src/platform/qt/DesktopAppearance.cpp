#include "platform/qt/DesktopAppearance.hpp"

#include <QtGui/qguiapplication_platform.h>
#include <QAbstractNativeEventFilter>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QWidget>

// After Qt's headers: Xlib's macros clash with them.
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/xfixesproto.h>

#include <algorithm>
#include <cmath>
#include <memory>
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

// Whether a compositing manager runs on the display's default screen. Asked once; then the server
// tells of every change of the owner of the selection a compositing manager holds, which reaches us
// among Qt's own events, so a panel shown on every search asks the server nothing.
class CompositorWatch final : public QAbstractNativeEventFilter {
  public:
    // None when the display lacks the extension that tells of a new owner.
    static std::unique_ptr<CompositorWatch> create(Display* display) {
        int eventBase = 0, errorBase = 0, major = 5, minor = 0;
        if (!XFixesQueryExtension(display, &eventBase, &errorBase) ||
            !XFixesQueryVersion(display, &major, &minor))
            return nullptr;
        const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
        const Atom selection = XInternAtom(display, name.c_str(), False);
        // Selected before the owner is read, so that no change falls between the two.
        XFixesSelectSelectionInput(display, DefaultRootWindow(display), selection,
                                   XFixesSetSelectionOwnerNotifyMask |
                                       XFixesSelectionWindowDestroyNotifyMask |
                                       XFixesSelectionClientCloseNotifyMask);
        auto watch = std::unique_ptr<CompositorWatch>(new CompositorWatch(display, selection, eventBase));
        watch->running_ = XGetSelectionOwner(display, selection) != None;
        qApp->installNativeEventFilter(watch.get());
        return watch;
    }

    Display* display() const { return display_; }
    bool running() const { return running_; }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xXFixesSelectionNotifyEvent*>(message);
        if ((event->type & 0x7f) == eventBase_ + XFixesSelectionNotify && event->selection == selection_)
            running_ = event->subtype == XFixesSetSelectionOwnerNotify && event->owner != None;
        return false;  // Qt watches the same selection for itself
    }

  private:
    CompositorWatch(Display* display, Atom selection, int eventBase)
        : display_(display), selection_(selection), eventBase_(eventBase) {}

    Display* display_;
    Atom selection_;
    int eventBase_;
    bool running_ = false;
};

bool paletteIsDark() {
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

// Asked of the server (a round trip), for a display without the extension that tells of changes.
bool compositorRunningNow(Display* display) {
    // A compositing manager owns the selection _NET_WM_CM_S<screen number>.
    const std::string selection = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    return XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False)) != None;
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
    // Kept to the end of the process: a filter destroyed among the statics at exit would look for
    // an event dispatcher that is gone.
    static CompositorWatch* watch = nullptr;
    static Display* watched = nullptr;
    if (display != watched) {
        watched = display;
        delete watch;
        watch = CompositorWatch::create(display).release();
    }
    return watch ? watch->running() : compositorRunningNow(display);
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

QColor DesktopAppearance::over(const QColor& top, const QColor& bottom) {
    const double alpha = top.alphaF();
    const auto mix = [alpha](double a, double b) { return a * alpha + b * (1 - alpha); };
    return QColor::fromRgbF(static_cast<float>(mix(top.redF(), bottom.redF())),
                            static_cast<float>(mix(top.greenF(), bottom.greenF())),
                            static_cast<float>(mix(top.blueF(), bottom.blueF())));
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

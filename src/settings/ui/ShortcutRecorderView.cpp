#include "settings/ui/ShortcutRecorderView.hpp"

#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>

#include "platform/qt/DesktopAppearance.hpp"
#include "settings/ui/SettingsStyle.hpp"

namespace mosaiko {

ShortcutRecorderView::ShortcutRecorderView(KeyEventReader keyEventOf, QWidget* parent)
    : QWidget(parent), keyEventOf_(std::move(keyEventOf)) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

std::optional<KeyboardShortcut> ShortcutRecorderView::captured(const QKeyEvent& event) const {
    if (!keyEventOf_) return std::nullopt;
    const auto keyEvent = keyEventOf_(event);
    if (!keyEvent) return std::nullopt;
    return KeyboardShortcut::recorded(*keyEvent);
}

bool ShortcutRecorderView::event(QEvent* event) {
    // A combination the recorder takes must not trigger one of the window's shortcuts first.
    if (event->type() == QEvent::ShortcutOverride && captured(*static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void ShortcutRecorderView::keyPressEvent(QKeyEvent* event) {
    const auto shortcut = captured(*event);
    if (!shortcut) return QWidget::keyPressEvent(event);
    event->accept();
    if (onShortcutRecorded) onShortcutRecorded(*shortcut);
}

void ShortcutRecorderView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Keys reach the recorder without a click.
    QPointer<ShortcutRecorderView> self(this);
    QTimer::singleShot(0, this, [self] {
        if (self && self->isVisible()) self->setFocus(Qt::OtherFocusReason);
    });
}

void ShortcutRecorderView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor fill = SettingsStyle::isDark() ? DesktopAppearance::withOpacity(Qt::white, 0.08)
                                                : DesktopAppearance::withOpacity(Qt::black, 0.04);
    SettingsStyle::paintBox(painter, QRectF(rect()), 12, {fill}, SettingsStyle::border());
}

}  // namespace mosaiko

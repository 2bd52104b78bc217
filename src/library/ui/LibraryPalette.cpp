#include "library/ui/LibraryPalette.hpp"

#include <QApplication>
#include <QPalette>
#include <QPushButton>
#include <QWidget>

#include "platform/qt/DesktopAppearance.hpp"

namespace mosaiko {

void LibraryPalette::apply(QWidget& window) {
    QPalette palette = QApplication::palette();
    const bool forced = DesktopAppearance::isDark() != (palette.color(QPalette::Window).lightness() < 128);
    const QColor text = DesktopAppearance::primaryText();
    palette.setColor(QPalette::Window, DesktopAppearance::windowBackground());
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Highlight, DesktopAppearance::accent());
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, DesktopAppearance::secondaryText());
    if (forced) {
        const bool dark = DesktopAppearance::isDark();
        palette.setColor(QPalette::Base, dark ? QColor(0x1e, 0x1e, 0x20) : Qt::white);
        palette.setColor(QPalette::AlternateBase, dark ? QColor(0x26, 0x26, 0x28) : QColor(0xf5, 0xf5, 0xf5));
        palette.setColor(QPalette::Text, text);
        palette.setColor(QPalette::Button, dark ? QColor(0x3a, 0x3a, 0x3c) : QColor(0xf4, 0xf4, 0xf4));
        palette.setColor(QPalette::ButtonText, text);
        palette.setColor(QPalette::Light, dark ? QColor(0x4a, 0x4a, 0x4c) : Qt::white);
        palette.setColor(QPalette::Midlight, dark ? QColor(0x42, 0x42, 0x44) : QColor(0xe3, 0xe3, 0xe3));
        palette.setColor(QPalette::Mid, dark ? QColor(0x30, 0x30, 0x32) : QColor(0xa0, 0xa0, 0xa0));
        palette.setColor(QPalette::Dark, dark ? QColor(0x18, 0x18, 0x1a) : QColor(0x9f, 0x9f, 0x9f));
        palette.setColor(QPalette::Shadow, Qt::black);
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(QPalette::Disabled, role, DesktopAppearance::secondaryText());
    }
    window.setPalette(palette);
}

void LibraryPalette::follow(QWidget& window) {
    DesktopAppearance::follow(window, [&window] { apply(window); });
}

void LibraryPalette::makeProminent(QPushButton& button) {
    DesktopAppearance::follow(button, [&button] {
        QPalette palette = button.palette();
        for (auto group : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(group, QPalette::Button, DesktopAppearance::accent());
            palette.setColor(group, QPalette::ButtonText,
                             DesktopAppearance::textOn(DesktopAppearance::accent()));
        }
        button.setPalette(palette);
    });
}

void LibraryPalette::setSecondary(QWidget& widget) {
    widget.setForegroundRole(QPalette::PlaceholderText);
}

}  // namespace mosaiko

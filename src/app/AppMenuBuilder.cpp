#include "app/AppMenuBuilder.hpp"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace mosaiko {

QKeySequence AppMenuBuilder::shortcut(const std::string& keyEquivalent) {
    if (keyEquivalent.empty()) return {};
    return QKeySequence(QStringLiteral("Ctrl+") + QString::fromStdString(keyEquivalent).toUpper());
}

void AppMenuBuilder::fill(QMenu* menu, const std::vector<MenuItemSpec>& items, const Dispatch& dispatch,
                          bool withShortcuts) {
    for (const auto& item : items) {
        if (item.isSeparator()) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromStdString(item.title));
        if (withShortcuts) action->setShortcut(shortcut(item.keyEquivalent));
        action->setEnabled(item.isEnabled);
        const MenuAction command = *item.action;
        QObject::connect(action, &QAction::triggered, menu, [dispatch, command] { dispatch(command); });
    }
}

QMenu* AppMenuBuilder::makeStatusMenu(bool canCheckForUpdates, const std::string& quitTitle,
                                      const Dispatch& dispatch, QWidget* parent) {
    auto* menu = new QMenu(parent);
    // No shortcuts here: they would act nowhere while this menu is open, and a desktop that draws
    // the tray's menu itself never hands them to us. The program's windows carry them.
    fill(menu, statusMenuItemSpecs(canCheckForUpdates, quitTitle), dispatch, false);
    return menu;
}

QMenuBar* AppMenuBuilder::makeAppMainMenu(bool canCheckForUpdates, const std::string& quitTitle,
                                          const Dispatch& dispatch, QWidget* parent) {
    auto* bar = new QMenuBar(parent);
    QMenu* app = bar->addMenu(QStringLiteral("Mosaiko"));
    fill(app, appMenuItemSpecs(canCheckForUpdates, quitTitle), dispatch, true);

    QMenu* edit = bar->addMenu(QStringLiteral("Edit"));
    const struct {
        const char* title;
        QKeySequence::StandardKey key;
        const char* slot;
    } editItems[] = {{"Cut", QKeySequence::Cut, "cut"},
                     {"Copy", QKeySequence::Copy, "copy"},
                     {"Paste", QKeySequence::Paste, "paste"},
                     {"Select All", QKeySequence::SelectAll, "selectAll"}};
    for (const auto& item : editItems) {
        QAction* action = edit->addAction(QString::fromLatin1(item.title));
        action->setShortcut(QKeySequence(item.key));
        const QByteArray slot(item.slot);
        QObject::connect(action, &QAction::triggered, edit, [slot] {
            // Text fields (line edits, text edits) offer these as slots; other widgets ignore it.
            QWidget* focus = QApplication::focusWidget();
            if (focus && focus->metaObject()->indexOfMethod(slot + "()") >= 0) {
                QMetaObject::invokeMethod(focus, slot.constData());
            }
        });
    }
    return bar;
}

}  // namespace mosaiko

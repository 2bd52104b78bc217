#include "settings/ui/LibraryShortcutSheet.hpp"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "picker/ui/DeferredRefresh.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "settings/ui/SettingsStyle.hpp"

namespace mosaiko {

LibraryShortcutSheet::LibraryShortcutSheet(SettingsState& state,
                                           ShortcutRecorderView::KeyEventReader keyEventOf, QWidget* parent)
    : QDialog(parent), state_(state) {
    setWindowTitle(QStringLiteral("Record Library Shortcut"));
    setWindowModality(Qt::WindowModal);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);
    // 460 wide; as tall as its content.
    column->setSizeConstraint(QLayout::SetFixedSize);

    QLabel* title = SettingsStyle::label(QStringLiteral("Record Library Shortcut"), 18, QFont::Bold);
    title->setMinimumWidth(460 - 40);  // the sheet's width
    column->addWidget(title);
    column->addWidget(SettingsStyle::wrappingLabel(
        QStringLiteral("Press a combination with Ctrl, Alt or Super plus a single key. Mosaiko will open the "
                       "floating library without stealing focus from the current app."),
        12));

    recorder_ = new ShortcutRecorderView(std::move(keyEventOf));
    recorder_->setFixedHeight(132);
    recorder_->onShortcutRecorded = [this](const KeyboardShortcut& shortcut) { record(shortcut); };
    auto* texts = new QVBoxLayout(recorder_);
    texts->setContentsMargins(18, 18, 18, 18);
    texts->setSpacing(8);
    texts->addStretch(1);
    texts->addWidget(
        SettingsStyle::monospacedLabel(QStringLiteral("Ready for input"), 12, QFont::DemiBold, true), 0,
        Qt::AlignHCenter);
    current_ = SettingsStyle::monospacedLabel(QString(), 28, QFont::Bold);
    texts->addWidget(current_, 0, Qt::AlignHCenter);
    texts->addWidget(
        SettingsStyle::label(QStringLiteral("Use Disable below to turn it off."), 11, QFont::Normal, true), 0,
        Qt::AlignHCenter);
    texts->addStretch(1);
    column->addWidget(recorder_);
    taken_ = SettingsStyle::wrappingLabel(QString(), 11, QFont::DemiBold, false);
    DesktopAppearance::keepColours(
        *taken_, [](QPalette& palette) { palette.setColor(QPalette::WindowText, SettingsStyle::red()); });
    taken_->hide();
    column->addWidget(taken_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    disable_ = new QPushButton(QStringLiteral("Disable"));
    disable_->setAutoDefault(false);
    connect(disable_, &QPushButton::clicked, this, [this] { state_.disableLibraryShortcut(); });
    buttons->addWidget(disable_);
    cancel_ = new QPushButton(QStringLiteral("Cancel"));
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, [this] { state_.setLibraryShortcutSheetShown(false); });
    buttons->addWidget(cancel_);
    column->addLayout(buttons);

    // Tab may move the focus to a button; a combination pressed there is the recorder's too.
    for (QWidget* other :
         {static_cast<QWidget*>(disable_), static_cast<QWidget*>(cancel_), static_cast<QWidget*>(this)})
        other->installEventFilter(this);

    refresh_ = std::make_unique<DeferredRefresh>(this, [this] { refresh(); });
    refresh_->watch(state_.prefs().libraryShortcut);
    refresh();
}

LibraryShortcutSheet::~LibraryShortcutSheet() = default;

bool LibraryShortcutSheet::eventFilter(QObject* watched, QEvent* event) {
    const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
    if (!key || watched == recorder_) return QDialog::eventFilter(watched, event);
    const auto shortcut = recorder_->captured(*static_cast<QKeyEvent*>(event));
    if (!shortcut) return QDialog::eventFilter(watched, event);
    event->accept();
    // Overridden shortcuts come back as a key press.
    if (event->type() == QEvent::KeyPress) record(*shortcut);
    return true;
}

void LibraryShortcutSheet::record(const KeyboardShortcut& shortcut) {
    awaited_.reset();
    state_.saveRecordedLibraryShortcut(shortcut);
}

void LibraryShortcutSheet::keyTypedAnywhere(const KeyEvent& event) {
    // Keys typed in another application while the sheet waits are none of its business.
    if (!isActiveWindow()) return;
    const auto shortcut = KeyboardShortcut::recorded(event);
    if (!shortcut) return;
    awaited_ = shortcut;
    QTimer::singleShot(deliveryGraceMs, this, [this, shortcut = *shortcut] {
        if (awaited_ != shortcut) return;
        awaited_.reset();
        // Not stored: the library could never open by it.
        taken_->setText(QString::fromStdString(shortcut.displayString()) +
                        QStringLiteral(" is taken by another program. Try another combination."));
        taken_->show();
    });
}

void LibraryShortcutSheet::refresh() {
    const auto& shortcut = state_.prefs().libraryShortcut();
    current_->setText(shortcut ? QString::fromStdString(shortcut->displayString())
                               : QStringLiteral("Disabled"));
    disable_->setEnabled(shortcut.has_value());
    // Keys reach the recorder without a click, after every change of what the sheet shows.
    if (isVisible()) recorder_->setFocus(Qt::OtherFocusReason);
}

}  // namespace mosaiko

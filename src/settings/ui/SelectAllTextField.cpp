#include "settings/ui/SelectAllTextField.hpp"

#include <QKeyEvent>
#include <QPointer>
#include <QTimer>

#include "platform/qt/Typography.hpp"

namespace mosaiko {

SelectAllTextField::SelectAllTextField(const QString& text, bool autoFocus, std::function<void()> onSubmit,
                                       std::function<void(const QString&)> onTextChanged, QWidget* parent)
    : QLineEdit(text, parent), onSubmit_(std::move(onSubmit)), needsSelectAll_(autoFocus) {
    setFont(Typography::monospaced(13, QFont::DemiBold));
    setFixedHeight(28);
    if (onTextChanged) {
        connect(this, &QLineEdit::textEdited, this,
                [onTextChanged](const QString& value) { onTextChanged(value); });
    }
}

void SelectAllTextField::setBoundText(const QString& text) {
    if (this->text() != text) setText(text);
}

void SelectAllTextField::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Handled here: a dialog's default button must not see the same Return.
        event->accept();
        if (onSubmit_) onSubmit_();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void SelectAllTextField::showEvent(QShowEvent* event) {
    QLineEdit::showEvent(event);
    if (needsSelectAll_) scheduleFocusAndSelect();
}

void SelectAllTextField::scheduleFocusAndSelect() {
    QPointer<SelectAllTextField> self(this);
    QTimer::singleShot(0, this, [self] {
        if (self) self->focusAndSelect();
    });
}

void SelectAllTextField::focusAndSelect() {
    if (!needsSelectAll_) return;
    needsSelectAll_ = false;
    setFocus(Qt::OtherFocusReason);
    selectAll();
}

}  // namespace mosaiko

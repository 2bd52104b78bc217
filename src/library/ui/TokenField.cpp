#include "library/ui/TokenField.hpp"

#include "content/CustomContentStore.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

TokenField::TokenField(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        tokens_ = CustomContentStore::parseTokens(text.toStdString());
        if (onTokensChanged) onTokensChanged(tokens_);
    });
}

void TokenField::setTokens(std::vector<std::string> tokens) {
    tokens_ = std::move(tokens);
    if (!hasFocus()) showTokens();
}

QString TokenField::joined(const std::vector<std::string>& tokens) {
    return QString::fromStdString(text::join(tokens, ", "));
}

void TokenField::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    showTokens();
}

void TokenField::showTokens() {
    const QString text = joined(tokens_);
    if (this->text() != text) setText(text);
}

}  // namespace mosaiko

#include "library/ui/PinAliasField.hpp"

#include <QFocusEvent>

#include "content/CollectionsStore.hpp"

namespace mosaiko {

PinAliasField::PinAliasField(CollectionsStore& collections, std::string pinID, QWidget* parent)
    : QLineEdit(parent), collections_(collections), pinID_(std::move(pinID)) {
    setPlaceholderText(tr("Search alias"));
    showAlias(collections_.pinAliasesByID());
    // textEdited reports the user's edits only, never the text this field sets itself.
    connect(this, &QLineEdit::textEdited, this,
            [this](const QString& text) { collections_.setPinnedAlias(text.toStdString(), pinID_); });
    aliasSubscription_ =
        collections_.pinAliasesByID.observe([this](const std::map<std::string, std::string>& aliases) {
            if (!editing_) showAlias(aliases);
        });
}

void PinAliasField::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    editing_ = true;
}

void PinAliasField::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (event->reason() == Qt::PopupFocusReason) return;  // the context menu: still editing
    editing_ = false;
    showAlias(collections_.pinAliasesByID());
}

void PinAliasField::showAlias(const std::map<std::string, std::string>& aliases) {
    const auto it = aliases.find(pinID_);
    const QString alias = it == aliases.end() ? QString() : QString::fromStdString(it->second);
    if (text() != alias) setText(alias);
}

}  // namespace mosaiko

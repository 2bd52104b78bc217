#pragma once

#include <QLineEdit>
#include <map>
#include <string>

#include "platform/Published.hpp"

namespace mosaiko {

class CollectionsStore;

// The search-alias field of one pinned entry. Every edit hands the whole text to the store, which
// keeps it trimmed (a blank text removes the alias). The store's answer never replaces the text of
// the focused field, or an inner space ("party hat") could not be typed key by key; the field shows
// the stored alias again when it loses focus, and follows the stored alias while it is unfocused.
class PinAliasField : public QLineEdit {
    Q_OBJECT

  public:
    PinAliasField(CollectionsStore& collections, std::string pinID, QWidget* parent = nullptr);

    const std::string& pinID() const { return pinID_; }

  protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void showAlias(const std::map<std::string, std::string>& aliases);

    CollectionsStore& collections_;
    std::string pinID_;
    // True from focus-in to a focus-out that is not the field's own context menu opening.
    bool editing_ = false;
    Cancellable aliasSubscription_;
};

}  // namespace mosaiko

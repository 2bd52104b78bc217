#pragma once

#include <QScrollArea>
#include <functional>
#include <vector>

#include "content/CustomSnippet.hpp"
#include "platform/Published.hpp"

class QPropertyAnimation;
class QVBoxLayout;

namespace mosaiko {

class CustomContentStore;
class LibraryShortcodeRow;
class LibraryViewModel;
class PreferencesStore;
struct EmojiEntry;

// The shortcodes tab's list: one full-width row per visible snippet, kept in place and refilled
// on every change, so the list never rebuilds its widgets while the user works in it.
class LibraryShortcodeRowsPane final : public QScrollArea {
    Q_OBJECT

  public:
    LibraryShortcodeRowsPane(LibraryViewModel& model, PreferencesStore& prefs, CustomContentStore& custom,
                             QWidget* parent = nullptr);

    // Call after the model changed.
    void refresh();
    void scrollToTop();

    const std::vector<LibraryShortcodeRow*>& rows() const { return rows_; }
    // The snippet behind a snippet entry; none for other entries and removed snippets.
    std::optional<CustomSnippet> editableSnippet(const EmojiEntry& entry) const;

    // "Edit…" of a row, with the snippet behind it.
    std::function<void(const CustomSnippet&)> onEditSnippet;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void scrollToSelection();

    LibraryViewModel& model_;
    PreferencesStore& prefs_;
    CustomContentStore& custom_;
    QVBoxLayout* layout_;
    std::vector<LibraryShortcodeRow*> rows_;
    QPropertyAnimation* scrollAnimation_;
    bool scrollPending_ = false;
    Cancellable selectionWatch_;
};

}  // namespace mosaiko

#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "content/CustomSnippet.hpp"
#include "library/LibraryViewModel.hpp"
#include "library/ui/SnippetEditView.hpp"

class QLabel;
class QLineEdit;
class QListWidget;
class QStackedLayout;
class QTabBar;

namespace mosaiko {

class CustomContentStore;
class DeferredRefresh;
class LibraryEntryGrid;
class LibraryHeaderLabel;
class LibraryInspectorView;
class LibraryPinsPane;
class LibraryShortcodeRowsPane;

// The library window's content: a header (title, result summary, search field, settings button,
// tabs), and below it the sidebar of sections, the entries of the open tab and the inspector. It
// holds no library state of its own: it shows the view model and changes it only through its
// operations, redrawing once after any number of changes.
class LibraryView final : public QWidget {
    Q_OBJECT

  public:
    LibraryView(LibraryViewModel& model, CustomContentStore& custom, QWidget* parent = nullptr);
    ~LibraryView() override;

    LibraryViewModel& model() const { return model_; }

    // The settings button; unset, it does nothing.
    std::function<void()> onOpenSettings;

    // Opens the edit sheet of a snippet over the window; "Save" stores it.
    void editSnippet(const CustomSnippet& snippet);
    SnippetEditView* editSheet() const { return editSheet_; }

    // Redraws now instead of from the event loop.
    void refreshNow();

    LibraryHeaderLabel* titleLabel() const { return title_; }
    LibraryHeaderLabel* summaryLabel() const { return summary_; }
    QLineEdit* searchField() const { return search_; }
    QWidget* settingsButton() const { return settings_; }
    QTabBar* tabPicker() const { return tabs_; }
    QListWidget* sidebar() const { return sidebar_; }
    LibraryEntryGrid* grid() const { return grid_; }
    LibraryShortcodeRowsPane* shortcodeRows() const { return rows_; }
    LibraryPinsPane* pinsPane() const { return pins_; }
    QWidget* emptyState() const { return empty_; }
    LibraryInspectorView* inspector() const { return inspector_; }
    // The pane the central column shows now.
    QWidget* centralPane() const;
    bool showsSidebar() const;
    bool showsInspector() const;

  protected:
    void changeEvent(QEvent* event) override;

  private:
    class SettingsButton;

    QWidget* buildHeader();
    QWidget* buildEmptyState();
    void refresh();
    void refreshSidebar();
    QWidget* paneForModel() const;

    LibraryViewModel& model_;
    PreferencesStore& prefs_;
    CustomContentStore& custom_;
    LibraryHeaderLabel* title_ = nullptr;
    LibraryHeaderLabel* summary_ = nullptr;
    QLineEdit* search_ = nullptr;
    QWidget* settings_ = nullptr;
    QTabBar* tabs_ = nullptr;
    QWidget* sidebarColumn_ = nullptr;
    QListWidget* sidebar_ = nullptr;
    QStackedLayout* central_ = nullptr;
    LibraryEntryGrid* grid_ = nullptr;
    LibraryShortcodeRowsPane* rows_ = nullptr;
    LibraryPinsPane* pins_ = nullptr;
    QWidget* empty_ = nullptr;
    QWidget* inspectorColumn_ = nullptr;
    LibraryInspectorView* inspector_ = nullptr;
    QPointer<SnippetEditView> editSheet_;
    std::vector<LibraryViewModel::BrowseSection> shownSections_;
    // What the list was last shown for: a new tab, section or search starts at the top.
    std::string shownListKey_;
    std::unique_ptr<DeferredRefresh> refresh_;
};

}  // namespace mosaiko

#pragma once

#include <QWidget>
#include <functional>
#include <string>

#include "picker/PickerViewModel.hpp"
#include "picker/ui/DeferredRefresh.hpp"

class QStackedLayout;

namespace mosaiko {

class PreferencesStore;
class CollectionsStore;
class CollectionsRowView;
class VariantsRowView;
class MainRowView;

// The content of the picker panel: the top row (the skin-tone variants of the selected result, or
// the scope chips), the strip of results and the search line that echoes the typed trigger and
// query beside a description of the selected result.
class PickerView : public QWidget {
    Q_OBJECT

  public:
    static constexpr int width = 640;
    static constexpr int height = 170;

    // `openSettings` serves the settings buttons of the top rows.
    PickerView(PickerViewModel& model, PreferencesStore& prefs, CollectionsStore& collections,
               const std::function<void()>& openSettings, QWidget* parent = nullptr);
    ~PickerView() override;

    // "No matches" without an entry, else its name and its trimmed category joined by " · ".
    static std::string searchDetails(const EmojiEntry* entry);
    // Emoticons, snippets, glyphs and packs are drawn as text rather than as emoji.
    static bool isTextBasedEntry(const EmojiEntry& entry);

    bool showsVariantsRow() const;
    CollectionsRowView* collectionsRow() const { return collectionsRow_; }
    VariantsRowView* variantsRow() const { return variantsRow_; }
    MainRowView* mainRow() const { return mainRow_; }
    QWidget* searchRow() const { return searchRow_; }
    // What the search line shows: trigger, query, details.
    QString searchLineText() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void refresh();
    void showTopRow(bool variants);

    PickerViewModel& model_;
    PreferencesStore& prefs_;
    QStackedLayout* topRow_;
    CollectionsRowView* collectionsRow_;
    VariantsRowView* variantsRow_;
    MainRowView* mainRow_;
    QWidget* searchRow_;
    DeferredRefresh refresh_;
};

}  // namespace mosaiko

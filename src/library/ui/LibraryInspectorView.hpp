#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QStackedLayout;

namespace mosaiko {

class LibraryTextLabel;
class LibraryVariantStripView;
class LibraryViewModel;
class PreferencesStore;

// The library's right-hand column: for the selected entry a large preview, its name and kind, its
// variants, shortcodes, keywords and the application insertions go to, with Pin or Unpin, Copy and
// Insert; without a selection a short hint.
class LibraryInspectorView final : public QWidget {
    Q_OBJECT

  public:
    LibraryInspectorView(LibraryViewModel& model, PreferencesStore& prefs, QWidget* parent = nullptr);

    // Call after the model changed.
    void refresh();

    bool showsSelection() const;
    // The text the preview card shows.
    QString previewText() const;
    QWidget* previewCard() const;
    LibraryTextLabel* nameLabel() const { return name_; }
    QLabel* shortcodesValue() const { return shortcodes_; }
    QLabel* keywordsValue() const { return keywords_; }
    QLabel* targetValue() const { return target_; }
    LibraryVariantStripView* variantStrip() const { return strip_; }
    QPushButton* pinButton() const { return pin_; }
    QPushButton* copyButton() const { return copy_; }
    QPushButton* insertButton() const { return insert_; }

  private:
    class PreviewCard;

    LibraryViewModel& model_;
    PreferencesStore& prefs_;
    QStackedLayout* pages_;
    QWidget* selectionPage_;
    PreviewCard* preview_;
    LibraryTextLabel* name_;
    QLabel* subtitle_;
    LibraryVariantStripView* strip_;
    QLabel* shortcodes_;
    QLabel* keywords_;
    QLabel* target_;
    QPushButton* pin_;
    QPushButton* copy_;
    QPushButton* insert_;
};

}  // namespace mosaiko

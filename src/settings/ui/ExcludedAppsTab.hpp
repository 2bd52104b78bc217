#pragma once

#include <QStyledItemDelegate>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "settings/ExcludedAppsRules.hpp"

class QPushButton;
class QVBoxLayout;

namespace mosaiko {

class DeferredRefresh;
class DesktopEntryIndex;
class ElidedLabel;
class PreferencesStore;

// The Excluded Apps tab: the applications in which the search trigger is ignored, each removable;
// "Add App…" adds installed applications chosen by their desktop entries, "Add Running App…" opens
// the running-applications picker, "Reset Defaults" restores the default list. Every change writes
// the whole list at once.
class ExcludedAppsTab final : public QWidget {
    Q_OBJECT

  public:
    struct Actions {
        // Opens the running-applications picker (the settings window presents it).
        std::function<void()> showRunningApps;
        // The desktop files the user chose; the default asks with a file dialog over the
        // applications folders.
        std::function<std::vector<std::string>(QWidget* parent, const std::vector<std::string>& folders)>
            chooseDesktopFiles;
    };

    // `dataDirectories` as for DesktopEntryIndex; empty for the user's.
    ExcludedAppsTab(PreferencesStore& prefs, Actions actions, std::vector<std::string> dataDirectories = {},
                    QWidget* parent = nullptr);
    ~ExcludedAppsTab() override;

    // What one chosen desktop file gives: its entry's name and id, else the file name alone.
    static ExcludedAppsRules::ExcludedAppSelection selection(const std::string& path,
                                                             const DesktopEntryIndex& index);
    static std::vector<std::string> askForDesktopFiles(QWidget* parent,
                                                       const std::vector<std::string>& folders);
    // A folder as the chooser's places list names it: with the folder it lies in ("~" for the
    // home folder), as the user's and the system's folders of applications share their name.
    static QString placeName(const QString& path, const QString& home);
    // Names the chooser's places so.
    class PlaceNames final : public QStyledItemDelegate {
      public:
        using QStyledItemDelegate::QStyledItemDelegate;
        QString textFor(const QModelIndex& index) const;

      protected:
        void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
    };

    // Runs the chooser and adds what was chosen.
    void addAppFromFiles();

    QWidget* rowsWidget() const { return rows_; }
    QPushButton* addAppButton() const { return addApp_; }
    QPushButton* addRunningAppButton() const { return addRunningApp_; }
    QPushButton* resetButton() const { return reset_; }

    void refresh();

  private:
    PreferencesStore& prefs_;
    Actions actions_;
    std::unique_ptr<DesktopEntryIndex> desktopEntries_;
    QWidget* rows_ = nullptr;
    QVBoxLayout* rowsLayout_ = nullptr;
    QPushButton* addApp_ = nullptr;
    QPushButton* addRunningApp_ = nullptr;
    QPushButton* reset_ = nullptr;
    std::unique_ptr<DeferredRefresh> refresh_;
};

// One excluded application: its name, its identifier when it has one, and "Remove".
class ExcludedAppRowView final : public QWidget {
  public:
    ExcludedAppRowView(const ExcludedApp& app, std::function<void()> onRemove, QWidget* parent = nullptr);
    const ExcludedApp& app() const { return app_; }
    QPushButton* removeButton() const { return remove_; }
    ElidedLabel* nameLabel() const { return name_; }

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void updateIcon();

    ExcludedApp app_;
    ElidedLabel* name_ = nullptr;
    QPushButton* remove_ = nullptr;
};

}  // namespace mosaiko

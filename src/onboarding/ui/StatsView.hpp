#pragma once

#include <QFont>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <map>
#include <vector>

#include "onboarding/StatsViewModel.hpp"
#include "picker/ui/DeferredRefresh.hpp"

class QAbstractButton;
class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

namespace mosaiko {

// The statistics window: the most used texts of the chosen range with dense ranks, use counts and
// trends, and a reset of all usage data after a confirmation. The list follows every change of the
// usage store.
class StatsView final : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kWidth = 520;
    static constexpr int kHeight = 720;
    static constexpr int usageColumnWidth = 72;
    static constexpr int deltaColumnWidth = 40;

    explicit StatsView(EmojiUsageStore& usage, QWidget* parent = nullptr);

    StatsViewModel& model() { return model_; }

    // What the view shows, for tests.
    QPushButton* resetButton() const { return resetButton_; }
    QAbstractButton* rangeButton(StatsRange range) const { return rangeButtons_.at(range); }
    // The rows of the list (one widget per ranked item), or the single empty text.
    QWidget* list() const { return list_; }
    QMessageBox* resetAlert() const { return resetAlert_; }

    // The fonts of the rows' cells.
    struct RowLook {
        QFont rankAndTrend;
        QFont count;
        QFont preview;  // of a text shown as it is
        static RowLook current();
    };
    // One row of `list`: "#rank", the preview, the use count and the trend.
    static QWidget* row(std::int64_t rank, const std::string& emoji, std::int64_t count,
                        std::optional<std::int64_t> delta, const RowLook& look, QWidget* list);

  protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    // The rows a first screen holds, and when the others are added after the window shows.
    static constexpr std::size_t kFirstScreenRows = 18;
    static constexpr int kRestOfListDelayMs = 50;

    void refresh();
    void addPendingRows();
    void showResetAlert();

    StatsViewModel model_;
    DeferredRefresh refresh_;
    QPushButton* resetButton_ = nullptr;
    std::map<StatsRange, QAbstractButton*> rangeButtons_;
    QScrollArea* listArea_ = nullptr;
    QWidget* list_ = nullptr;
    std::vector<RankedStatItem> pendingRows_;  // of list_, still to add
    QPointer<QMessageBox> resetAlert_;
};

}  // namespace mosaiko

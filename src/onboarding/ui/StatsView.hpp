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

    explicit StatsView(EmojiUsageStore& usage, QWidget* parent = nullptr);

    StatsViewModel& model() { return model_; }

    // What the view shows, for tests.
    QPushButton* resetButton() const { return resetButton_; }
    QAbstractButton* rangeButton(StatsRange range) const { return rangeButtons_.at(range); }
    // The list: a StatsList of the ranked items, or a widget holding the single empty text.
    QWidget* list() const { return list_; }
    QMessageBox* resetAlert() const { return resetAlert_; }

  protected:
    void changeEvent(QEvent* event) override;

  private:
    // The rows a first screen holds.
    static constexpr std::size_t kFirstScreenRows = 18;

    void refresh();
    void showResetAlert();

    StatsViewModel model_;
    DeferredRefresh refresh_;
    QPushButton* resetButton_ = nullptr;
    std::map<StatsRange, QAbstractButton*> rangeButtons_;
    QScrollArea* listArea_ = nullptr;
    QWidget* list_ = nullptr;
    QPointer<QMessageBox> resetAlert_;
};

}  // namespace mosaiko

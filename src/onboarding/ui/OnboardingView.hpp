#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QMessageBox>
#include <QPointer>
#include <QTime>
#include <QWidget>
#include <map>
#include <memory>
#include <utility>

#include "onboarding/OnboardingViewModel.hpp"
#include "picker/ui/DeferredRefresh.hpp"

class QLabel;
class QPushButton;
class QScrollArea;

namespace mosaiko {

class PreferencesStore;

// The guide: a header with the page's tile, headline and tabs, the page in a scroll area, and a
// footer with the navigation buttons and the step counter, over a soft two-colour background. It
// redraws whenever its model, the inline trigger or the instant-open sequence changes.
class OnboardingView final : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kWidth = 760;
    static constexpr int kHeight = 620;

    OnboardingView(OnboardingPage startPage, PreferencesStore& prefs,
                   OnboardingViewModel::Dependencies dependencies, QWidget* parent = nullptr);
    ~OnboardingView() override;

    OnboardingViewModel& model() { return *model_; }

    // The two background colours of a page, for the light or the dark appearance.
    static std::pair<QColor, QColor> backgroundGradientColors(OnboardingPage page, bool dark);

    // What the view shows, for tests.
    QAbstractButton* tab(OnboardingPage page) const { return tabs_.at(page); }
    QPushButton* leadingButton() const { return leadingButton_; }
    QPushButton* trailingButton() const { return trailingButton_; }
    QLabel* stepCounter() const { return stepCounter_; }
    QLabel* headline() const { return headline_; }
    // The current page's content.
    QWidget* page() const { return page_; }
    // The permission error alert while it shows.
    QMessageBox* errorAlert() const { return errorAlert_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void buildFrame();
    QWidget* buildHeader();
    QWidget* buildFooter();
    void refresh();
    void showPage();
    void presentErrorAlert();

    QWidget* welcomePage();
    QWidget* tippsPage();
    QWidget* permissionsPage();
    QWidget* permissionCard(const QString& title, const QString& subtitle, PermissionStatus status,
                            const QString& icon);

    PreferencesStore& prefs_;
    std::unique_ptr<OnboardingViewModel> model_;
    DeferredRefresh refresh_;
    bool appeared_ = false;
    bool rebuilding_ = false;
    QTime lastGrantCheck_;
    Cancellable grantCheckTimes_;

    QWidget* frame_ = nullptr;
    QWidget* headerTile_ = nullptr;
    QLabel* headerEmoji_ = nullptr;
    QLabel* headline_ = nullptr;
    std::map<OnboardingPage, QAbstractButton*> tabs_;
    QScrollArea* pageArea_ = nullptr;
    QWidget* page_ = nullptr;
    QPushButton* leadingButton_ = nullptr;
    QPushButton* trailingButton_ = nullptr;
    QLabel* stepCounter_ = nullptr;
    QPointer<QMessageBox> errorAlert_;
};

}  // namespace mosaiko

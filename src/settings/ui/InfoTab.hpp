#pragma once

#include <QAbstractButton>
#include <QWidget>
#include <functional>

#include "settings/SettingsState.hpp"
#include "settings/ui/SettingsStyle.hpp"
#include "settings/ui/SettingsView.hpp"

class QLineEdit;

namespace mosaiko {

class UpdaterStatusCard;

// A card-shaped button: an icon tile, a title and a subtitle on a gradient, with a trailing
// symbol; the whole card is the click target.
class InfoCardButton final : public QAbstractButton {
  public:
    InfoCardButton(const QString& title, const QString& subtitle, const QString& systemImage,
                   SettingsStyle::Gradient gradient, const QString& trailingSymbol,
                   QWidget* parent = nullptr);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    SettingsStyle::Gradient gradient_;
};

// A link: its text in the primary colour, without button chrome.
class LinkButton final : public QAbstractButton {
  public:
    explicit LinkButton(const QString& text, QWidget* parent = nullptr);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent*) override;
};

// The last settings tab: which program and version this is, the maker's support links, the guide
// (from its first page or its permission page) and the updates card.
class InfoTab final : public QWidget {
  public:
    InfoTab(SettingsState& state, const SettingsView::Dependencies& dependencies, QWidget* parent = nullptr);

    QLabel* versionLabel() const { return version_; }
    LinkButton* companyLink() const { return companyLink_; }
    InfoCardButton* reportIssueCard() const { return reportIssue_; }
    InfoCardButton* featureRequestsCard() const { return featureRequests_; }
    InfoCardButton* tippsCard() const { return tipps_; }
    InfoCardButton* permissionWizardCard() const { return permissionWizard_; }
    UpdaterStatusCard* updaterCard() const { return updaterCard_; }
    // Shown when no browser took a link: what happened and the address to copy.
    QWidget* notOpenedNotice() const { return notOpened_; }
    QLineEdit* notOpenedAddress() const { return notOpenedAddress_; }

    // The label of the maker's link: the address without its scheme and trailing slash.
    static QString linkLabel(const std::string& url);

  private:
    QWidget* makeHeader(const SettingsView::Dependencies& dependencies);
    QWidget* makeNotOpenedNotice();
    void open(const std::string& url);

    SettingsShell shell_;

    QLabel* version_ = nullptr;
    LinkButton* companyLink_ = nullptr;
    InfoCardButton* reportIssue_ = nullptr;
    InfoCardButton* featureRequests_ = nullptr;
    InfoCardButton* tipps_ = nullptr;
    InfoCardButton* permissionWizard_ = nullptr;
    UpdaterStatusCard* updaterCard_ = nullptr;
    QWidget* notOpened_ = nullptr;
    QLineEdit* notOpenedAddress_ = nullptr;
};

}  // namespace mosaiko

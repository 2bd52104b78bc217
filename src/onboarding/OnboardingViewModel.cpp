#include "onboarding/OnboardingViewModel.hpp"

#include <stdexcept>

namespace mosaiko {

namespace {

void require(bool present, const char* name) {
    if (!present) throw std::invalid_argument(std::string("OnboardingViewModel needs ") + name);
}

}  // namespace

OnboardingViewModel::OnboardingViewModel(OnboardingPage startPage, Dependencies dependencies)
    : startPage(startPage), currentPage(startPage), dependencies_(std::move(dependencies)) {
    require(static_cast<bool>(dependencies_.trustChecker), "trustChecker");
    require(static_cast<bool>(dependencies_.resetRequiredPermissions), "resetRequiredPermissions");
    require(static_cast<bool>(dependencies_.recordCompletion), "recordCompletion");
    require(static_cast<bool>(dependencies_.dismiss), "dismiss");
    require(dependencies_.launcher != nullptr, "launcher");
    require(static_cast<bool>(dependencies_.terminate), "terminate");
}

// ---------------------------------------------------------------- navigation

void OnboardingViewModel::appeared() {
    if (appeared_) return;
    appeared_ = true;
    recheckTrust(false);
}

void OnboardingViewModel::goTo(OnboardingPage page) {
    if (page == currentPage()) return;
    currentPage.set(page);
    if (page == OnboardingPage::permissions) recheckTrust(false);
}

void OnboardingViewModel::selectPage(OnboardingPage page) {
    goTo(page);
}

void OnboardingViewModel::handleLeadingButton() {
    if (currentPage() == OnboardingPage::welcome) return dependencies_.dismiss();
    goTo(*onboarding_page::fromRawValue(onboarding_page::rawValue(currentPage()) - 1));
}

void OnboardingViewModel::handleTrailingButton() {
    switch (currentPage()) {
        case OnboardingPage::welcome:
            return goTo(OnboardingPage::tipps);
        case OnboardingPage::tipps:
            return goTo(OnboardingPage::permissions);
        case OnboardingPage::permissions:
            dependencies_.recordCompletion();
            return dependencies_.dismiss();
    }
}

std::string OnboardingViewModel::leadingButtonTitle() const {
    return currentPage() == OnboardingPage::welcome ? "Close" : "Back";
}

std::string OnboardingViewModel::trailingButtonTitle() const {
    if (currentPage() != OnboardingPage::permissions) return "Next";
    return accessibilityStatus() == PermissionStatus::granted ? "Finish" : "Finish Anyway";
}

std::string OnboardingViewModel::stepCounterText() const {
    return "Step " + std::to_string(onboarding_page::rawValue(currentPage()) + 1) + " of " +
           std::to_string(onboarding_page::allCases.size());
}

// ---------------------------------------------------------------- trust, reset, relaunch

void OnboardingViewModel::recheckTrust(bool prompt) {
    const bool trusted = dependencies_.trustChecker(prompt);
    std::string reason;
    if (!trusted && dependencies_.untrustedReason) reason = dependencies_.untrustedReason();
    untrustedReason.set(std::move(reason));
    accessibilityStatus.set(trusted ? PermissionStatus::granted : PermissionStatus::notGranted);
}

void OnboardingViewModel::grant() {
    // No settings pane to send the user to: the check itself is what the page can offer, and the
    // reason it shows says what stands in the way.
    recheckTrust(true);
    grantChecks.set(grantChecks() + 1);
}

void OnboardingViewModel::resetPermissions() {
    // The buttons are disabled meanwhile; a second request is still never started.
    if (isResettingPermissions()) return;
    resetErrorMessage.set(std::nullopt);
    isResettingPermissions.set(true);
    std::weak_ptr<OnboardingViewModel*> weak = self_;
    dependencies_.resetRequiredPermissions([weak](PermissionResetSummary summary) {
        const auto self = weak.lock();
        if (!self) return;
        OnboardingViewModel& model = **self;
        model.isResettingPermissions.set(false);
        model.recheckTrust(false);
        if (!summary.failedServices.empty()) {
            model.resetErrorMessage.set(failureMessage(summary));
            return;
        }
        model.relaunchAppForRestart();
    });
}

void OnboardingViewModel::relaunchAppForRestart() {
    const std::string& executable = dependencies_.executablePath;
    if (executable.empty() || dependencies_.launcher->startDetached(executable, {kOpenPermissionsArgument})) {
        resetErrorMessage.set(kRelaunchFailedMessage);
        return;
    }
    // The new copy has started; it takes over from this one as any newly started copy does.
    dependencies_.terminate();
}

void OnboardingViewModel::setShowingResetError(bool showing) {
    if (!showing) resetErrorMessage.set(std::nullopt);
}

// ---------------------------------------------------------------- texts

std::string OnboardingViewModel::welcomeHeadline(std::string_view trigger) {
    if (trigger.empty()) return "Inline search is off. Use instant open and keep moving.";
    return "Type " + std::string(trigger) + ". Search. Hit enter. Keep moving.";
}

std::string OnboardingViewModel::inlineTriggerInsightBody(std::string_view trigger) {
    if (trigger.empty()) {
        return "Inline search is currently disabled, so Mosaiko stays out of the way until you open it "
               "explicitly.";
    }
    return "The picker appears after " + std::string(trigger) +
           " and follows your keyboard flow instead of pulling you into a separate browser.";
}

std::string OnboardingViewModel::accessibilitySubtitle(std::string_view trigger) {
    if (trigger.empty())
        return "Mosaiko uses Accessibility only to insert the chosen emoji into the current app.";
    return "Mosaiko uses it only to backspace the typed " + std::string(trigger) +
           "query and insert the chosen emoji into the current app.";
}

std::string OnboardingViewModel::inlineTriggerChipLabel(std::string_view trigger) {
    return trigger.empty() ? "Off" : std::string(trigger);
}

std::string OnboardingViewModel::exampleQuery(std::string_view trigger) {
    return (trigger.empty() ? std::string(";") : std::string(trigger)) + "love hand";
}

std::string OnboardingViewModel::quickOpenExample(QuickOpenShortcut shortcut) {
    const auto sequence = quick_open_shortcut::sequence(shortcut);
    return sequence ? std::string(*sequence) : "Off";
}

std::string OnboardingViewModel::quickOpenShortcutDetail(QuickOpenShortcut shortcut) {
    const auto sequence = quick_open_shortcut::sequence(shortcut);
    if (!sequence) return "Instant open is currently disabled.";
    return "Typing " + std::string(*sequence) +
           " opens the picker immediately with an empty search instead of waiting for inline search.";
}

std::string OnboardingViewModel::badgeText(PermissionStatus status) {
    switch (status) {
        case PermissionStatus::granted:
            return "GRANTED";
        case PermissionStatus::notGranted:
            return "NOT GRANTED";
        case PermissionStatus::unknown:
            break;
    }
    return "NOT REQUESTED";
}

std::string OnboardingViewModel::checkFinding(PermissionStatus status) {
    switch (status) {
        case PermissionStatus::granted:
            return "Granted: Mosaiko can see and type keys on this display.";
        case PermissionStatus::notGranted:
            return "Not granted.";
        case PermissionStatus::unknown:
            break;
    }
    return "Not checked yet.";
}

std::string OnboardingViewModel::failureMessage(const PermissionResetSummary& summary) {
    std::string message;
    for (const auto& failure : summary.failedServices) {
        if (!message.empty()) message += '\n';
        message += failure.service + ": " + failure.error;
    }
    return message;
}

}  // namespace mosaiko

#include "app/logic/PermissionsManager.hpp"

#include <memory>

#include "platform/Text.hpp"

namespace mosaiko {

namespace {

PermissionResetSummary missingBundleID() {
    return PermissionResetSummary{{}, {{"BundleID", PermissionsManager::kMissingBundleIDError}}};
}

bool isMissing(const std::optional<std::string>& bundleID) {
    return !bundleID || bundleID->empty();
}

}  // namespace

PermissionsManager::PermissionsManager(TrustChecker trustChecker, BundleIDProvider bundleIDProvider,
                                       PermissionReset resetAccessibilityPermission,
                                       AsyncExecutor asyncExecutor, UntrustedReason untrustedReason)
    : trustChecker(std::move(trustChecker)),
      bundleIDProvider(std::move(bundleIDProvider)),
      resetAccessibilityPermission(std::move(resetAccessibilityPermission)),
      asyncExecutor(std::move(asyncExecutor)),
      untrustedReason(std::move(untrustedReason)) {}

void PermissionsManager::resetRequiredPermissions(std::function<void(PermissionResetSummary)> completion) {
    auto summary = std::make_shared<PermissionResetSummary>();
    // The work gets its own copies of the closures: it runs on another thread.
    auto work = [reset = resetAccessibilityPermission, provider = bundleIDProvider, summary] {
        *summary = reset(provider());
    };
    auto then = [summary, completion = std::move(completion)] {
        if (completion) completion(std::move(*summary));
    };
    asyncExecutor(std::move(work), std::move(then));
}

PermissionsManager::PermissionReset PermissionsManager::resetUnavailable() {
    return [](const std::optional<std::string>& bundleID) {
        if (isMissing(bundleID)) return missingBundleID();
        return PermissionResetSummary{{}, {{"Accessibility", kNothingToResetError}}};
    };
}

PermissionsManager::PermissionReset PermissionsManager::resetWithCommand(ProcessRunner& runner) {
    return [&runner](const std::optional<std::string>& bundleID) {
        if (isMissing(bundleID)) return missingBundleID();
        if (auto error = runTCCReset(runner, "Accessibility", *bundleID)) {
            return PermissionResetSummary{{}, {{"Accessibility", *error}}};
        }
        return PermissionResetSummary{{"Accessibility"}, {}};
    };
}

std::optional<std::string> PermissionsManager::runTCCReset(ProcessRunner& runner, const std::string& service,
                                                           const std::string& bundleID) {
    const auto outcome = runner.run(kResetTool, {"reset", service, bundleID});
    if (outcome.launchError) return outcome.launchError;
    return tccResetErrorMessage(outcome.exitStatus, outcome.output);
}

std::optional<std::string> PermissionsManager::tccResetErrorMessage(int terminationStatus,
                                                                    const std::string& outputData) {
    if (terminationStatus == 0) return std::nullopt;
    if (text::isValidUtf8(outputData)) {
        auto trimmedOutput = text::trimmed(outputData);
        if (!trimmedOutput.empty()) return trimmedOutput;
    }
    return "tccutil exited with status " + std::to_string(terminationStatus);
}

}  // namespace mosaiko

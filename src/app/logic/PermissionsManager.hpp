#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/PermissionStatus.hpp"
#include "platform/ProcessRunner.hpp"

namespace mosaiko {

// Whether the program may observe and type keys, and resetting that permission. Every effect is
// an injected closure, so the logic runs without the platform.
class PermissionsManager {
  public:
    using TrustChecker = std::function<bool(bool prompt)>;
    using BundleIDProvider = std::function<std::optional<std::string>()>;
    using PermissionReset = std::function<PermissionResetSummary(const std::optional<std::string>& bundleID)>;
    // Runs `work` away from the main loop, then `then` on the main loop.
    using AsyncExecutor = std::function<void(std::function<void()> work, std::function<void()> then)>;

    // Why the program is not trusted, in a sentence for the user; empty when it is or when the
    // platform gives no reason.
    using UntrustedReason = std::function<std::string()>;

    PermissionsManager(TrustChecker trustChecker, BundleIDProvider bundleIDProvider,
                       PermissionReset resetAccessibilityPermission, AsyncExecutor asyncExecutor,
                       UntrustedReason untrustedReason = {});

    TrustChecker trustChecker;
    BundleIDProvider bundleIDProvider;
    PermissionReset resetAccessibilityPermission;
    AsyncExecutor asyncExecutor;
    UntrustedReason untrustedReason;

    // Resets the permission off the main loop and hands the summary to `completion` on the main
    // loop. Never fails: problems are in the summary.
    void resetRequiredPermissions(std::function<void(PermissionResetSummary)> completion);

    // The reset this system offers: the display server keeps no per-program permission for
    // observing and typing keys, so there is nothing to reset and the summary says so.
    static PermissionReset resetUnavailable();
    // A reset through the privacy database's command-line tool, run by `runner`.
    static PermissionReset resetWithCommand(ProcessRunner& runner);

    static std::optional<std::string> runTCCReset(ProcessRunner& runner, const std::string& service,
                                                  const std::string& bundleID);
    static std::optional<std::string> tccResetErrorMessage(int terminationStatus,
                                                           const std::string& outputData);

    static constexpr const char* kResetTool = "/usr/bin/tccutil";
    static constexpr const char* kMissingBundleIDError = "Missing bundle identifier for this build.";
    static constexpr const char* kNothingToResetError =
        "This system keeps no Accessibility permission to reset: the X display lets every program of "
        "the session observe and type keys.";
};

}  // namespace mosaiko

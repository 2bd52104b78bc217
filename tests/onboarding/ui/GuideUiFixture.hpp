#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <memory>

#include "content/EmojiUsageStore.hpp"
#include "content/PreferencesStore.hpp"
#include "onboarding/ui/OnboardingView.hpp"
#include "onboarding/ui/StatsView.hpp"
#include "platform/MemoryDefaults.hpp"
#include "platform/fake/FakeProcessLauncher.hpp"
#include "platform/fake/ManualMainLoop.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/SymbolImage.hpp"

namespace mosaiko::testing {

// A guide and a statistics window over in-memory stores and a scripted desktop.
class GuideUiFixture : public ::testing::Test {
  protected:
    GuideUiFixture() { SymbolImage::setResourceDirectory(QStringLiteral(MOSAIKO_SOURCE_DIR "/resources")); }
    ~GuideUiFixture() override { DesktopAppearance::overrideDark(std::nullopt); }

    std::unique_ptr<OnboardingView> guide(OnboardingPage start) {
        OnboardingViewModel::Dependencies d;
        d.trustChecker = [this](bool) { return trusted; };
        d.untrustedReason = [this] { return reason; };
        d.resetRequiredPermissions = [this](std::function<void(PermissionResetSummary)> done) {
            pendingReset = std::move(done);
        };
        d.recordCompletion = [this] { ++completions; };
        d.dismiss = [this] { ++dismissals; };
        d.executablePath = "/usr/bin/mosaiko";
        d.launcher = &launcher;
        d.terminate = [] {};
        auto view = std::make_unique<OnboardingView>(start, prefs, std::move(d));
        view->show();
        settle();
        return view;
    }

    std::unique_ptr<StatsView> stats() {
        auto view = std::make_unique<StatsView>(usage);
        view->show();
        settle();
        return view;
    }

    // Runs what the views queued: the first trust check and every redraw.
    static void settle() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }

    template <class T = QLabel>
    static T* find(QWidget* root, const char* name) {
        return root->findChild<T*>(QString::fromLatin1(name));
    }
    static std::string textOf(QWidget* root, const char* name) {
        auto* label = find<QLabel>(root, name);
        return label ? label->text().toStdString() : "<missing " + std::string(name) + ">";
    }

    bool trusted = true;
    std::string reason =
        "The X11 display does not offer the XTEST extension, so Mosaiko cannot type into "
        "other applications.";
    std::function<void(PermissionResetSummary)> pendingReset;
    int completions = 0;
    int dismissals = 0;
    FakeProcessLauncher launcher;
    MemoryDefaults defaults;
    PreferencesStore prefs{defaults};
    ManualMainLoop clock;
    EmojiUsageStore usage{defaults, clock};
};

}  // namespace mosaiko::testing

#include "platform/linux/InstanceRegistry.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <thread>
#include <tuple>
#include <utility>

extern char** environ;

namespace mosaiko {
namespace {

namespace fs = std::filesystem;

// A child process of this test, killed at the end unless it has ended already.
class Child {
  public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() {
        if (!reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    pid_t pid() const { return pid_; }
    // The signal that ended it, or 0 when it is still running after a moment.
    int endingSignal() {
        for (int i = 0; i < 200; ++i) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                reaped_ = true;
                return WIFSIGNALED(status) ? WTERMSIG(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return 0;
    }

  protected:
    pid_t pid_ = -1;

  private:
    bool reaped_ = false;
};

// A child process that sleeps until it is signalled.
class Sleeper : public Child {
  public:
    Sleeper() {
        char arg0[] = "/bin/sleep";
        char arg1[] = "60";
        char* argv[] = {arg0, arg1, nullptr};
        ::posix_spawn(&pid_, "/bin/sleep", nullptr, nullptr, argv, environ);
        // Wait until the child has become /bin/sleep (before exec it still shows our executable).
        for (int i = 0; i < 200; ++i) {
            auto d = InstanceRegistry::describeProcess(pid_);
            if (d && d->executable.find("sleep") != std::string::npos) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
};

// A copy of this program as the registry sees one: a child (of this test's executable) that
// registers itself, as the program does, and waits until it is signalled.
class Copy : public Child {
  public:
    // `confirmsStop`: it says at once that it stopped typing when asked; else it ignores the request.
    Copy(const fs::path& directory, const std::string& key, bool confirmsStop = false) {
        pid_ = ::fork();
        if (pid_ == 0) {
            static volatile sig_atomic_t asked = 0;
            ::signal(InstanceRegistry::kStopTypingSignal, confirmsStop ? [](int) { asked = 1; } : SIG_IGN);
            InstanceRegistry registry(directory, key);
            if (!registry.registerCurrentProcess()) ::_exit(3);
            while (true) {
                ::pause();
                if (std::exchange(asked, 0)) registry.confirmTypingStopped();
            }
        }
        const fs::path entry = directory / (key + "." + std::to_string(pid_) + ".instance");
        for (int i = 0; i < 400 && !fs::exists(entry); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    RunningInstance instance() const { return *InstanceRegistry::describeProcess(pid_); }
};

class InstanceRegistryTest : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("mosaiko-instances-" + std::to_string(::getpid()) + "-" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::remove_all(fallback());
    }
    void TearDown() override {
        fs::remove_all(dir_);
        fs::remove_all(fallback());
    }
    fs::path fallback() const { return dir_.string() + "-" + std::to_string(::getuid()); }
    std::set<std::string> names() const {
        std::set<std::string> names;
        for (const auto& item : fs::directory_iterator(dir_)) names.insert(item.path().filename().string());
        return names;
    }

    // A registry acting for a copy of the program that started after `other`, from `executable`
    // (the same as `other`'s when empty).
    InstanceRegistry newerThan(const RunningInstance& other, const std::string& key = ":0",
                               const std::string& executable = {}) {
        auto self = *InstanceRegistry::describeProcess(::getpid());
        self.startTime = other.startTime + 100;
        self.executable = executable.empty() ? other.executable : executable;
        return InstanceRegistry(dir_, key, self);
    }

    fs::path dir_;
};

TEST_F(InstanceRegistryTest, DisplayKeyDropsTheScreenNumber) {
    EXPECT_EQ(InstanceRegistry::displayKey(":0"), ":0");
    EXPECT_EQ(InstanceRegistry::displayKey(":0.1"), ":0");
    EXPECT_EQ(InstanceRegistry::displayKey("host.example:10.0"), "host.example:10");
    EXPECT_EQ(InstanceRegistry::displayKey(nullptr), "none");
}

// A copy from another path (a build folder's beside an installed one) was never listed, and the
// newer copy ended itself claiming that a copy started at the same time was the one that runs.
TEST_F(InstanceRegistryTest, ListsOlderCopiesOfTheSameKeyWhateverTheirPathAndStopsThem) {
    Copy copy(dir_, "config-1");
    Copy elsewhere(dir_, "config-2");
    const auto childInstance = copy.instance();

    auto registry = newerThan(childInstance, "config-1");
    ASSERT_TRUE(registry.registerCurrentProcess());
    EXPECT_EQ(registry.olderInstances(), std::vector<RunningInstance>{childInstance});
    auto fromElsewhere = newerThan(childInstance, "config-1", "/opt/elsewhere/bin/mosaiko");
    EXPECT_EQ(fromElsewhere.olderInstances(), std::vector<RunningInstance>{childInstance});
    EXPECT_EQ(newerThan(childInstance, "config-2").olderInstances(),
              std::vector<RunningInstance>{elsewhere.instance()});

    // The older one does not see the newer one: the newest wins.
    EXPECT_TRUE(InstanceRegistry(dir_, "config-1", childInstance).olderInstances().empty());

    EXPECT_TRUE(fromElsewhere.requestTermination(childInstance));
    EXPECT_EQ(copy.endingSignal(), SIGTERM);
    EXPECT_TRUE(registry.olderInstances().empty());
    EXPECT_FALSE(
        fs::exists(dir_ / ("config-1." + std::to_string(copy.pid()) + ".instance")));  // stale entry gone
}

// The key follows the configuration folder, not the spelling of its path.
TEST_F(InstanceRegistryTest, ConfigurationKeyIsOnePerFolder) {
    fs::create_directories(dir_ / "config" / "mosaiko");
    fs::create_directory_symlink(dir_ / "config", dir_ / "link");
    const auto key = InstanceRegistry::configurationKey(dir_ / "config" / "mosaiko");
    EXPECT_EQ(InstanceRegistry::configurationKey(dir_ / "config" / "mosaiko" / ""), key);
    EXPECT_EQ(InstanceRegistry::configurationKey(dir_ / "link" / "." / "mosaiko"), key);
    EXPECT_NE(InstanceRegistry::configurationKey(dir_ / "config" / "other"), key);
    EXPECT_TRUE(key.starts_with("config-"));
}

TEST_F(InstanceRegistryTest, ARecycledPidIsNeverSignalled) {
    Sleeper child;
    auto impostor = *InstanceRegistry::describeProcess(child.pid());
    impostor.startTime -= 1;  // an earlier process that had the same pid
    InstanceRegistry stale(dir_, ":0", impostor);
    ASSERT_TRUE(stale.registerCurrentProcess());

    auto registry = newerThan(impostor);
    EXPECT_TRUE(registry.olderInstances().empty());
    EXPECT_FALSE(registry.requestTermination(impostor));
    EXPECT_FALSE(registry.forceTermination(impostor));

    auto otherProgram = *InstanceRegistry::describeProcess(child.pid());
    otherProgram.executable = "/usr/bin/mosaiko";
    EXPECT_FALSE(registry.forceTermination(otherProgram));
    EXPECT_EQ(child.endingSignal(), 0);  // still running
}

// Anyone who can write into the folder could name any process there: an entry written for it (its
// pid, start time and executable all true) is no copy of ours while the process does not hold it.
TEST_F(InstanceRegistryTest, AnEntryForAnotherProgramIsNeitherListedNorSignalled) {
    Sleeper child;
    const auto unrelated = *InstanceRegistry::describeProcess(child.pid());
    InstanceRegistry forged(dir_, ":0", unrelated);
    ASSERT_TRUE(forged.registerCurrentProcess());

    InstanceRegistry registry = newerThan(unrelated);
    EXPECT_TRUE(registry.olderInstances().empty());
    EXPECT_FALSE(registry.requestTermination(unrelated));
    EXPECT_FALSE(registry.forceTermination(unrelated));
    EXPECT_EQ(child.endingSignal(), 0);  // still running
}

TEST_F(InstanceRegistryTest, OneCopyPerDisplayHoldsTheLockUntilItEnds) {
    using Attempt = InstanceRegistry::LockAttempt;
    const auto self = *InstanceRegistry::describeProcess(::getpid());
    InstanceRegistry second(dir_, ":0", self);
    InstanceRegistry otherDisplay(dir_, ":1", self);
    {
        InstanceRegistry first(dir_, ":0", self);
        EXPECT_EQ(first.tryLock(), Attempt::held);
        EXPECT_EQ(first.tryLock(), Attempt::held);
        EXPECT_EQ(second.tryLock(), Attempt::heldByAnother);
        EXPECT_EQ(otherDisplay.tryLock(), Attempt::held);
    }
    EXPECT_EQ(second.tryLock(), Attempt::held);
}

// A copy asked to stop typing says when it has; one that does not is waited for a moment only.
TEST_F(InstanceRegistryTest, ACopyAskedToStopTypingSaysWhenItHas) {
    Copy confirming(dir_, ":0", true);
    Copy silent(dir_, ":0");
    auto registry = newerThan(confirming.instance());
    EXPECT_TRUE(registry.askToStopTyping(confirming.instance()));
    EXPECT_FALSE(registry.askToStopTyping(silent.instance()));
    EXPECT_EQ(confirming.endingSignal(), 0);  // both still run
    EXPECT_EQ(silent.endingSignal(), 0);
    for (const auto& item : fs::directory_iterator(dir_))
        EXPECT_TRUE(item.path().extension() == ".instance") << item.path();
}

TEST_F(InstanceRegistryTest, ForceKillsAHangingInstance) {
    Copy child(dir_, ":0");
    const auto childInstance = child.instance();
    auto registry = newerThan(childInstance);
    EXPECT_TRUE(registry.forceTermination(childInstance));
    EXPECT_EQ(child.endingSignal(), SIGKILL);
}

// Killed copies never remove their entries: the next copy that registers does.
TEST_F(InstanceRegistryTest, UnregisteringRemovesTheEntryAndRegisteringThoseOfKilledCopies) {
    const auto self = *InstanceRegistry::describeProcess(::getpid());
    long killed = 0;
    {
        Sleeper copy;
        killed = copy.pid();
    }
    fs::create_directories(dir_);
    fs::permissions(dir_, fs::perms::owner_all);
    std::ofstream(dir_ / (":0." + std::to_string(killed) + ".instance")) << killed << "\n1\n"
                                                                         << self.executable << "\n";
    {
        InstanceRegistry registry(dir_, ":0", self);
        ASSERT_TRUE(registry.registerCurrentProcess());
        ASSERT_EQ(registry.tryLock(), InstanceRegistry::LockAttempt::held);
        EXPECT_TRUE(fs::exists(dir_ / (":0." + std::to_string(::getpid()) + ".instance")));
    }
    EXPECT_TRUE(fs::is_empty(dir_));  // the lock's file too
}

// Files of the registry's name that no copy wrote (cut short, mistyped, left by hand) stayed for good.
TEST_F(InstanceRegistryTest, EntriesThatDoNotReadAreRemoved) {
    fs::create_directories(dir_);
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::replace);
    for (const char* name : {":0.1.instance", ":0.x.instance", ":0.77.instance"})
        std::ofstream(dir_ / name) << "garbage";
    std::ofstream(dir_ / ":0.88.instance") << "99\n1\n/bin/sleep\n";  // names another pid
    std::ofstream(dir_ / ":1.5.instance") << "garbage";               // another key's business
    InstanceRegistry registry(dir_, ":0", *InstanceRegistry::describeProcess(::getpid()));
    ASSERT_TRUE(registry.registerCurrentProcess());
    EXPECT_EQ(names(),
              (std::set<std::string>{":0." + std::to_string(::getpid()) + ".instance", ":1.5.instance"}));
}

// A copy killed as it registered left its half-written entry, one killed as it asked another to stop
// typing its request, for good (a later copy with that pid took the request for its own). A request
// the running copy has still to answer stays.
TEST_F(InstanceRegistryTest, WhatKilledCopiesLeftIsSweptButNotARequestAwaited) {
    Copy running(dir_, ":0");
    const std::string gone = std::to_string(Sleeper().pid());  // no process has it any more
    const std::string live = std::to_string(running.pid());
    for (const auto& name : {":0." + gone + ".instance.tmp", ":0." + gone + ".stop-typing",
                             ":0." + live + ".stop-typing", ":1." + gone + ".stop-typing"})
        std::ofstream(dir_ / name) << gone << "\n";
    ASSERT_TRUE(newerThan(running.instance()).registerCurrentProcess());
    EXPECT_EQ(names(), (std::set<std::string>{":0." + live + ".instance", ":0." + live + ".stop-typing",
                                              ":1." + gone + ".stop-typing"}));
    EXPECT_TRUE(InstanceRegistry(dir_, ":0", running.instance()).isAskedToStopTyping());
}

// On a folder shared by machines (an NFS home) a copy judged every entry by its own /proc and
// removed the other machine's. One of an earlier boot of this machine is gone, whatever /proc says.
TEST_F(InstanceRegistryTest, EntriesOfOtherMachinesAreLeftToThem) {
    Copy copy(dir_, ":0");
    const fs::path entry = dir_ / (":0." + std::to_string(copy.pid()) + ".instance");
    std::string text((std::istreambuf_iterator<char>(std::ifstream(entry).rdbuf())), {});
    const auto boot = text.find("\nboot ") + 6;
    std::ofstream(entry) << text.replace(boot, text.find('\n', boot) - boot, "earlier");
    const std::string remote = "\n1\n/usr/bin/mosaiko\nmachine other\nboot b\nhost far.example\n";
    std::ofstream(dir_ / ":0.77.instance") << "77" << remote;
    std::ofstream(dir_ / ":0.77.stop-typing");
    std::ofstream(dir_ / ":0.78.instance.tmp") << "78" << remote;
    InstanceRegistry registry = newerThan(copy.instance());
    ASSERT_TRUE(registry.registerCurrentProcess());
    EXPECT_EQ(registry.copiesOnOtherMachines(), std::vector<std::string>{"far.example"});
    EXPECT_EQ(names(), (std::set<std::string>{":0." + std::to_string(::getpid()) + ".instance",
                                              ":0.77.instance", ":0.77.stop-typing", ":0.78.instance.tmp"}));
}

// With the folder opened to others (`chmod -R go+rX`), a file or another user's folder in its place,
// the lock was "unavailable" and the list empty: two copies ran unnoticed. One of the user's own is
// made private again; else the copies register in the fallback beside it, and say so.
TEST_F(InstanceRegistryTest, TheFolderIsMadePrivateOrReplacedByAFallbackAndSaidSo) {
    const bool root = ::getuid() == 0;  // only root can give a folder away
    const std::vector<std::tuple<const char*, std::function<void()>, bool, bool>> cases = {
        // what stands there, falls back, usable
        {"opened", [&] { fs::create_directories(dir_), fs::permissions(dir_, fs::perms::all); }, false, true},
        {"a file", [&] { std::ofstream(dir_) << "x"; }, true, true},
        {"another's", [&] { fs::create_directories(dir_), (void)::chown(dir_.c_str(), 65534, 65534); }, root,
         true},
        {"both files", [&] { std::ofstream(dir_) << "x", std::ofstream(fallback()) << "x"; }, false, false},
    };
    for (const auto& [name, make, fallsBack, usable] : cases) {
        fs::remove_all(dir_);
        fs::remove_all(fallback());
        make();
        InstanceRegistry registry(dir_, ":0", *InstanceRegistry::describeProcess(::getpid()));
        testing::internal::CaptureStderr();
        EXPECT_EQ(registry.registerCurrentProcess(), usable) << name;
        EXPECT_EQ(registry.tryLock(),
                  usable ? InstanceRegistry::LockAttempt::held : InstanceRegistry::LockAttempt::unavailable)
            << name;
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(registry.directory(), fallsBack ? fallback() : dir_) << name;
        EXPECT_EQ(fs::status(registry.directory()).permissions() == fs::perms::owner_all, usable) << name;
        auto times = [&](const char* text) {
            std::size_t n = 0;
            for (auto at = said.find(text); at != std::string::npos; at = said.find(text, at + 1)) ++n;
            return n;
        };
        EXPECT_EQ(times("is used instead"), fallsBack ? 1u : 0u) << said;
        EXPECT_EQ(times("may run beside"), usable ? 0u : 1u) << said;
    }
}

}  // namespace
}  // namespace mosaiko

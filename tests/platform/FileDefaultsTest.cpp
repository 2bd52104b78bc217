#include "platform/linux/FileDefaults.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <limits>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include "content/PreferencesStore.hpp"
#include "platform/Json.hpp"
#include "platform/linux/DefaultsFileFormat.hpp"

namespace mosaiko {
namespace {

namespace fs = std::filesystem;

// Data as the format writes it is read straight from its text; any other spelling JSON allows reads
// the same, and damaged data counts as unreadable.
TEST(DefaultsFileFormatData, ReadsHoweverItIsSpelled) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {R"({"$data":"aGk="})", "hi"},
        {R"({ "$data" : "aGk=" })", "hi"},
        {R"({"$data":"aGk\u003d"})", "hi"},
        {R"({"$data":"Pz8\/"})", "???"},
        {R"({"$data":""})", ""},
        {R"({"$data":"aGk"})", std::nullopt},
        {R"({"$data":"aGk=", "more": 1})", std::nullopt},
        {R"({"$data":"aGk=","more":"aGk="})", std::nullopt},
    };
    for (const auto& [value, bytes] : cases) {
        const auto decoded =
            DefaultsFileFormat::decode(std::string(R"({"mosaikoDefaults":1,"values":{"k":)") + value + "}}");
        const auto found = decoded.values.find("k");
        if (!bytes) {
            EXPECT_FALSE(decoded.complete) << value;
            EXPECT_EQ(found, decoded.values.end()) << value;
            continue;
        }
        ASSERT_NE(found, decoded.values.end()) << value;
        EXPECT_EQ(found->second, DefaultsValue(DefaultsData{*bytes})) << value;
    }
}

class FileDefaultsTest : public testing::Test {
  protected:
    void SetUp() override {
        directory_ =
            fs::temp_directory_path() / ("mosaiko-defaults-" + std::to_string(::getpid()) + "-" +
                                         testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(directory_);
        fs::create_directories(directory_);
    }
    void TearDown() override { fs::remove_all(directory_); }
    fs::path file() const { return directory_ / "defaults.json"; }
    void write(const fs::path& path, const std::string& text) const { std::ofstream(path) << text; }
    static std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }

    fs::path directory_;
};

TEST_F(FileDefaultsTest, EveryValueTypeSurvivesARestart) {
    const DefaultsValue::Dictionary nested{{"inner", DefaultsValue::Array{1, "two", 3.5}},
                                           {"blob", DefaultsData{std::string("\0\xff{", 3)}}};
    {
        FileDefaults d(file());
        d.set("bool", true);
        d.set("int", std::int64_t{-7});
        d.set("double", 1.0);
        d.set("string", "😄 \"quoted\"");
        d.set("data", DefaultsData{"{\"json\":1}"});
        d.set("array", DefaultsValue::Array{"a", false});
        d.set("dict", nested);
        d.set("gone", 1);
        d.remove("gone");
        // Readers see writes at once, before anything reaches the disk.
        EXPECT_EQ(d.integer("int"), -7);
    }
    FileDefaults reloaded(file());
    EXPECT_EQ(reloaded.object("bool"), DefaultsValue(true));
    EXPECT_EQ(reloaded.object("int"), DefaultsValue(std::int64_t{-7}));
    EXPECT_EQ(reloaded.object("double"), DefaultsValue(1.0));
    EXPECT_EQ(reloaded.string("string"), "😄 \"quoted\"");
    EXPECT_EQ(reloaded.data("data"), "{\"json\":1}");
    std::string lent;
    EXPECT_TRUE(reloaded.readData("data", [&](std::string_view bytes) { lent = bytes; }));
    EXPECT_EQ(lent, "{\"json\":1}");
    EXPECT_FALSE(reloaded.readData("string", [&](std::string_view) { ADD_FAILURE(); }));
    EXPECT_EQ(reloaded.object("array"), DefaultsValue(DefaultsValue::Array{"a", false}));
    EXPECT_EQ(reloaded.object("dict"), DefaultsValue(nested));
    EXPECT_FALSE(reloaded.contains("gone"));
    EXPECT_FALSE(reloaded.movedAsideFile());
}

// JSON has no infinities or NaN; writing them as null would make the whole file unreadable.
TEST_F(FileDefaultsTest, NonFiniteNumbersDoNotSpoilTheFile) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    {
        FileDefaults d(file());
        d.set("inf", inf);
        d.set("-inf", -inf);
        d.set("nan", std::numeric_limits<double>::quiet_NaN());
        d.set("nested", DefaultsValue::Array{inf, "x"});
        d.set("kept", "still here");
    }
    FileDefaults reloaded(file());
    EXPECT_FALSE(reloaded.movedAsideFile());
    EXPECT_EQ(reloaded.string("kept"), "still here");
    EXPECT_EQ(reloaded.doubleValue("inf"), inf);
    EXPECT_EQ(reloaded.doubleValue("-inf"), -inf);
    EXPECT_TRUE(std::isnan(reloaded.doubleValue("nan")));
    EXPECT_EQ(reloaded.object("nested"), DefaultsValue(DefaultsValue::Array{inf, "x"}));
}

TEST_F(FileDefaultsTest, SavesInTheBackgroundWithinTheDelay) {
    FileDefaults d(file(), 0.05);
    d.set("k", 1);
    for (int i = 0; i < 200 && !fs::exists(file()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fs::exists(file()));
    FileDefaults other(directory_ / "defaults.json");
    EXPECT_EQ(other.integer("k"), 1);
}

TEST_F(FileDefaultsTest, AnUnreadableFileIsMovedAsideNeverOverwritten) {
    {
        std::ofstream out(file());
        out << "{ this is not json";
    }
    {
        FileDefaults d(file());
        ASSERT_TRUE(d.movedAsideFile());
        EXPECT_TRUE(d.keys().empty());
        d.set("fresh", true);
        std::ifstream kept(*d.movedAsideFile());
        std::string content((std::istreambuf_iterator<char>(kept)), {});
        EXPECT_EQ(content, "{ this is not json");
    }
    FileDefaults reloaded(file());
    EXPECT_TRUE(reloaded.boolValue("fresh"));
}

TEST_F(FileDefaultsTest, AWellFormedFileWithAForeignShapeIsAlsoKept) {
    {
        std::ofstream out(file());
        out << R"({"values": {"x": {"$data": "not base64!"}}})";
    }
    FileDefaults d(file());
    ASSERT_TRUE(d.movedAsideFile());
    EXPECT_TRUE(fs::exists(*d.movedAsideFile()));
}

// The background saver may be writing an older snapshot when flush() is called: flush() must not
// return before the newest state is on disk, nor let the older snapshot land after it.
TEST_F(FileDefaultsTest, FlushLeavesTheNewestStateOnDiskWhileTheSaverRuns) {
    FileDefaults d(file(), 0.0);
    const std::string payload(16 * 1024, 'p');  // long enough for saves to overlap
    for (std::int64_t i = 0; i < 300; ++i) {
        d.set("payload", DefaultsData{payload + std::to_string(i)});
        d.set("counter", i);
        ASSERT_TRUE(d.flush());
        std::ifstream in(file());
        const auto onDisk = json::parse(std::string((std::istreambuf_iterator<char>(in)), {}));
        ASSERT_TRUE(onDisk);
        ASSERT_EQ((*onDisk)["values"]["counter"], i);
    }
}

// A writer killed at a random moment must leave either the old or a new complete file.
TEST_F(FileDefaultsTest, AKilledWriterLeavesAReadableFile) {
    std::mt19937 random(12345);
    std::string big(64 * 1024, 'x');
    for (int round = 0; round < 12; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            FileDefaults d(file(), 0.0);
            // One value per write: the saver may snapshot between two separate writes.
            for (std::int64_t i = 0;; ++i) {
                d.set("record", DefaultsValue::Dictionary{
                                    {"counter", i}, {"payload", DefaultsData{big + std::to_string(i)}}});
                d.flush();
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 30000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);

        FileDefaults reloaded(file());
        ASSERT_FALSE(reloaded.movedAsideFile()) << "round " << round;
        for (const auto& item : fs::directory_iterator(directory_))  // the killed save's temporary file
            EXPECT_FALSE(item.path().filename().string().starts_with("defaults.json.tmp")) << item.path();
        if (auto record = reloaded.object("record")) {
            const auto& fields = *record->get<DefaultsValue::Dictionary>();
            const auto counter = *fields.at("counter").get<std::int64_t>();
            EXPECT_EQ(fields.at("payload").get<DefaultsData>()->bytes, big + std::to_string(counter));
        }
    }
}

// One value that does not read must not cost the others: with the defaults back, launch at login
// would register itself although the user had switched it off.
TEST_F(FileDefaultsTest, AValueThatDoesNotReadCostsOnlyItsOwnKey) {
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const std::vector<std::pair<std::string, std::string>> badTails = {
        {"null for a number", "null}}"},     {"NaN", "NaN}}"},
        {"out of range", "1e400}}"},         {"lone surrogate", "\"\\ud800\"}}"},
        {"invalid UTF-8", "\"\xff\xfe\"}}"}, {"nested 100,000 deep", deep + "}}"},
        {"truncated file", "[1, 2"},
    };
    for (const auto& [name, tail] : badTails) {
        const std::string text = R"({"mosaikoDefaults":1,"values":{"a":{"$data":"eyJ4IjoxfQ=="},)"
                                 R"("launchAtLoginEnabled":false,"bad":)" +
                                 tail;
        write(file(), text);
        {
            FileDefaults d(file());
            EXPECT_EQ(d.data("a"), "{\"x\":1}") << name;
            EXPECT_EQ(d.object("launchAtLoginEnabled"), DefaultsValue(false)) << name;
            EXPECT_FALSE(d.contains("bad")) << name;
            ASSERT_TRUE(d.movedAsideFile()) << name;
            EXPECT_EQ(read(*d.movedAsideFile()), text) << name;
        }
        FileDefaults reloaded(file());  // what was read was saved back
        EXPECT_FALSE(reloaded.movedAsideFile()) << name;
        EXPECT_EQ(reloaded.keys(), (std::vector<std::string>{"a", "launchAtLoginEnabled"})) << name;
    }
    std::set<fs::path> kept;  // seven files kept aside within a second or two, none overwritten
    for (const auto& item : fs::directory_iterator(directory_)) {
        if (item.path().filename().string().find(".unreadable-") != std::string::npos)
            kept.insert(item.path());
    }
    EXPECT_EQ(kept.size(), badTails.size());
}

// Dotfile managers keep the file as a link into their own folder.
TEST_F(FileDefaultsTest, ALinkedFileIsWrittenThroughAndStaysALink) {
    fs::create_directories(directory_ / "dotfiles");
    fs::create_symlink("dotfiles/defaults.json", file());  // not there yet
    {
        FileDefaults d(file(), 60);
        d.set("k", 1);
        ASSERT_TRUE(d.flush());
        d.set("k", 2);
        ASSERT_TRUE(d.flush());
    }
    EXPECT_TRUE(fs::is_symlink(file()));
    FileDefaults reloaded(directory_ / "dotfiles" / "defaults.json");
    EXPECT_EQ(reloaded.integer("k"), 2);
}

// The first save made the missing folders wherever a dangling link pointed; a read-only file was
// replaced by the rename, which asks no permission of the file.
TEST_F(FileDefaultsTest, ADanglingLinkMakesNoFoldersAndAReadOnlyFileIsNotReplaced) {
    fs::create_symlink("elsewhere/deeper/defaults.json", file());
    {
        FileDefaults d(file(), 60);
        d.set("k", 1);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(d.flush());
        testing::internal::GetCapturedStderr();
        d.close();
    }
    EXPECT_FALSE(fs::exists(directory_ / "elsewhere"));
    EXPECT_TRUE(fs::is_symlink(file()));

    const fs::path readOnly = directory_ / "read-only.json";
    const std::string saved = DefaultsFileFormat::encode({{"k", 0}});
    write(readOnly, saved);
    ::chmod(readOnly.c_str(), 0444);
    {
        FileDefaults d(readOnly, 60);
        d.set("k", 1);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(d.flush());
        testing::internal::GetCapturedStderr();
        d.close();
    }
    EXPECT_EQ(read(readOnly), saved);
}

// Opening a FIFO for reading waits for a writer: the program would hang at every start.
TEST_F(FileDefaultsTest, SomethingThatIsNoRegularFileIsLeftAloneAndNeverOpened) {
    ASSERT_EQ(::mkfifo(file().c_str(), 0600), 0);
    std::mutex mutex;
    std::condition_variable done;
    bool constructed = false;
    // Lets a reader that did open the FIFO go on after a while, so the test fails instead of hanging.
    std::thread writer([&] {
        std::unique_lock lock(mutex);
        if (done.wait_for(lock, std::chrono::seconds(3), [&] { return constructed; })) return;
        const int fd = ::open(file().c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    });
    const auto start = std::chrono::steady_clock::now();
    {
        FileDefaults d(file(), 60);
        {
            std::lock_guard lock(mutex);
            constructed = true;
        }
        done.notify_all();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_TRUE(d.keys().empty());
        d.set("k", 1);
        d.flush();
    }
    writer.join();
    struct stat info {};
    ASSERT_EQ(::lstat(file().c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

// A valid file the user cannot read (mode 000, another owner) was moved aside and replaced by the
// defaults, launch at login among them.
TEST_F(FileDefaultsTest, AFileThatCannotBeReadAtAllIsLeftWhereItIsAndNothingIsSavedOverIt) {
    write(file(), DefaultsFileFormat::encode({{"launchAtLoginEnabled", false}}));
    ::chmod(file().c_str(), 0);
    ::chmod(directory_.c_str(), 0777);
    const std::string before = read(file());
    // In a child that cannot read the file: root can, so the child is nobody there.
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(10);
        ::close(STDERR_FILENO);
        FileDefaults d(file(), 60);
        d.set("k", 1);
        const bool flushed = d.flush();
        const auto problem = d.saveProblem();
        const bool said = problem && problem->find("cannot read") != std::string::npos;
        ::_exit(d.leftUnread() && !flushed && said && d.keys() == std::vector<std::string>{"k"} ? 0 : 11);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ::chmod(file().c_str(), 0600);
    EXPECT_EQ(read(file()), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(directory_), fs::directory_iterator{}), 2)  // and its lock
        << "nothing was moved aside";
}

// On a read-only file system a save said "Permission denied", a cause of its own making.
TEST_F(FileDefaultsTest, ASaveOnAReadOnlyFileSystemSaysSo) {
    write(file(), DefaultsFileFormat::encode({{"k", 0}}));
    const pid_t child = ::fork();
    if (child == 0) {  // with the folder mounted read-only in a mount namespace of its own
        const char* folder = directory_.c_str();
        if ((::unshare(CLONE_NEWNS) != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(folder, folder, nullptr, MS_BIND, nullptr) != 0 ||
            ::mount(nullptr, folder, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            ::_exit(10);
        ::close(STDERR_FILENO);
        FileDefaults d(file(), 60);
        d.set("k", 1);
        const bool failed = !d.flush();
        ::_exit(failed && d.saveProblem() == "Cannot write " + file().string() + ": Read-only file system"
                    ? 0
                    : 11);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (status == 10 << 8) GTEST_SKIP() << "no read-only mount can be made here";
    EXPECT_EQ(status, 0);
}

// A value of the wrong type was kept aside inside the file without a word, unlike an unreadable file.
TEST_F(FileDefaultsTest, AValueKeptAsideIsSaid) {
    write(file(), R"({"mosaikoDefaults":1,"values":{"popupDelayMs":"soon"}})");
    FileDefaults d(file(), 60);
    testing::internal::CaptureStderr();
    const PreferencesStore prefs(d);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(d.string("popupDelayMs.corrupt"), "soon");
    std::ostringstream expected;
    expected << "Mosaiko: the value of \"popupDelayMs\" in " << file()
             << " could not be read; it was kept in the same file as \"popupDelayMs.corrupt\"\n";
    EXPECT_EQ(said, expected.str());
}

TEST_F(FileDefaultsTest, AFailingSaveIsSaidOnceAndLandsWhenItWorksAgain) {
    const fs::path blocker = directory_ / "config";
    write(blocker, "a file where the folder belongs");  // fails for root as well
    std::vector<std::optional<std::string>> told;
    FileDefaults d(blocker / "defaults.json", 60);
    d.setSaveProblemHandler([&](const std::optional<std::string>& problem) { told.push_back(problem); });
    d.set("k", 1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(d.flush());
    EXPECT_FALSE(d.flush());
    EXPECT_FALSE(d.flush());
    ASSERT_TRUE(d.saveProblem());
    fs::remove(blocker);
    EXPECT_TRUE(d.flush());
    const std::string said = testing::internal::GetCapturedStderr();

    EXPECT_FALSE(d.saveProblem());
    ASSERT_EQ(told.size(), 2u);
    EXPECT_TRUE(told[0]);
    EXPECT_FALSE(told[1]);
    EXPECT_EQ(said.find("cannot save"), said.rfind("cannot save")) << said;
    EXPECT_NE(said.find("cannot save"), std::string::npos) << said;
    EXPECT_NE(said.find("saved again"), std::string::npos) << said;
    EXPECT_NE(read(blocker / "defaults.json").find("\"k\":1"), std::string::npos);

    // Tried again at growing intervals, never less often than every few seconds.
    const std::vector<std::pair<int, double>> waits = {{1, 1.0}, {2, 2.0}, {3, 4.0}, {4, 5.0}, {1000, 5.0}};
    for (const auto& [failures, seconds] : waits)
        EXPECT_DOUBLE_EQ(FileDefaults::retryDelay(0.5, failures), seconds) << failures;
    EXPECT_DOUBLE_EQ(FileDefaults::retryDelay(0, 3), 0.4);
}

}  // namespace
}  // namespace mosaiko

#include "platform/linux/FileAppendLog.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "content/UsageHistoryLog.hpp"

namespace mosaiko {
namespace {

namespace fs = std::filesystem;

class FileAppendLogTest : public testing::Test {
  protected:
    void SetUp() override {
        directory_ =
            fs::temp_directory_path() / ("mosaiko-log-" + std::to_string(::getpid()) + "-" +
                                         testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(directory_);
    }
    void TearDown() override { fs::remove_all(directory_); }
    fs::path directory_;
};

TEST_F(FileAppendLogTest, AppendsReplacesKeepsAsideAndRemoves) {
    const auto path = directory_ / "sub" / "log";
    FileAppendLog log(path);
    EXPECT_FALSE(log.read());
    EXPECT_TRUE(log.append("a\n"));  // creates the folders
    EXPECT_TRUE(log.append("b\n"));
    EXPECT_EQ(FileAppendLog(path).read(), "a\nb\n");
    EXPECT_TRUE(log.replace("c\n"));
    EXPECT_TRUE(log.append("d\n"));  // appends to the new file, not the replaced one
    EXPECT_EQ(log.read(), "c\nd\n");

    const auto aside = log.keepAside();
    ASSERT_TRUE(aside);
    EXPECT_EQ(FileAppendLog(*aside).read(), "c\nd\n");
    EXPECT_EQ(log.read(), "c\nd\n");  // kept aside, and in place until replaced
    EXPECT_TRUE(log.replace("e\n"));
    EXPECT_EQ(FileAppendLog(*aside).read(), "c\nd\n");
    log.remove();
    EXPECT_FALSE(log.read());
    EXPECT_TRUE(fs::exists(*aside));
}

// A full disk: the torn log was moved aside, its good events could not be written back, and the
// next start found only the new uses (the rest sat in a copy nothing reads). Then each start kept
// one more copy of it aside.
TEST_F(FileAppendLogTest, ATornLogStaysInPlaceUntilItsGoodEventsAreWrittenBack) {
    fs::create_directories(directory_);
    const auto path = directory_ / "usage-history.jsonl";
    std::string good;
    for (int i = 0; i < 300; ++i) good += R"({"emoji":"a","timestamp":)" + std::to_string(i) + "}\n";
    {
        FileAppendLog file(path);
        ASSERT_TRUE(file.append(good + R"({"emoji":"b","tim)"));
    }
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 1024;  // no room to write the good events back
    ::setrlimit(RLIMIT_FSIZE, &small);
    std::vector<std::size_t> loaded;
    for (int start = 0; start < 2; ++start) {
        FileAppendLog file(path);
        UsageHistoryLog log(file);
        loaded.push_back(log.load().value_or(UsageHistoryLog::History{}).size());
    }
    ::setrlimit(RLIMIT_FSIZE, &before);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(loaded, (std::vector<std::size_t>{300, 300}));
    std::size_t kept = 0;
    for (const auto& item : fs::directory_iterator(directory_))
        kept += item.path().filename().string().find(".unreadable-") != std::string::npos;
    EXPECT_EQ(kept, 1u);

    FileAppendLog file(path);
    UsageHistoryLog log(file);
    EXPECT_EQ(log.load().value_or(UsageHistoryLog::History{}).size(), 300u);  // all of them, again
    EXPECT_EQ(file.read(), good);  // written back once there was room
}

// A killed compaction left its temporary copy behind, one per kill, never removed.
TEST_F(FileAppendLogTest, TheFirstReadRemovesTheCopiesOfCutShortReplacements) {
    fs::create_directories(directory_ / "usage-history.jsonl.tmp-folder");
    for (const char* name : {"usage-history.jsonl.tmp-a1B2c3", "usage-history.jsonl.tmp-x", "other.tmp-x"})
        std::ofstream(directory_ / name) << "{}";
    FileAppendLog log(directory_ / "usage-history.jsonl");
    EXPECT_FALSE(log.read());
    std::set<std::string> left;
    for (const auto& item : fs::directory_iterator(directory_)) left.insert(item.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"usage-history.jsonl.tmp-folder", "other.tmp-x"}));
}

TEST_F(FileAppendLogTest, SomethingOtherThanAFileInItsPlaceIsLeftAlone) {
    fs::create_directories(directory_);
    const auto fifo = directory_ / "log";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    FileAppendLog log(fifo);
    EXPECT_FALSE(log.read());  // no wait for a writer
    EXPECT_FALSE(log.append("a\n"));
    EXPECT_FALSE(log.replace("a\n"));
    EXPECT_TRUE(fs::is_fifo(fifo));
}

}  // namespace
}  // namespace mosaiko

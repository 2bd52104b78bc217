#include "platform/linux/FileAppendLog.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

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
    EXPECT_FALSE(log.read());
    EXPECT_TRUE(log.append("e\n"));
    log.remove();
    EXPECT_FALSE(log.read());
    EXPECT_TRUE(fs::exists(*aside));
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

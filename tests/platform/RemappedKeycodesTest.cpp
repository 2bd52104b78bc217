#include "platform/linux/RemappedKeycodes.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <set>

#include "platform/linux/InstanceRegistry.hpp"

namespace mosaiko {
namespace {

namespace fs = std::filesystem;

// A display's number of its own for this test, which no real server is likely to use.
std::string testDisplay(int offset) {
    return std::to_string(5000 + offset * 1000 + ::getpid() % 1000);
}

// Parallel sessions take a display number the moment it is free: the server a record was for can
// be gone although one listens for its display.
TEST(RemappedKeycodes, AServerIsGoneWhenNoneListensForItsDisplayOrOneStartedAfterTheRecord) {
    const fs::path folder = fs::temp_directory_path() / ("mosaiko-sockets-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string older = testDisplay(1), newer = testDisplay(2), abstract = testDisplay(3),
                      client = testDisplay(4);
    const auto recordWritten = fs::file_time_type::clock::now();
    for (const auto& [number, made] : {std::pair{older, recordWritten - std::chrono::seconds(5)},
                                       std::pair{newer, recordWritten + std::chrono::seconds(5)}}) {
        std::ofstream(folder / ("X" + number));
        fs::last_write_time(folder / ("X" + number), made);
    }
    const std::string at = folder.string() + "/X";
    auto socket = [](bool listening, const std::string& path) {
        return std::string("0: 2 0 ") + (listening ? "00010000" : "00000000") + " 1 1 101 " + path + "\n";
    };
    const std::string sockets = "Num RefCount Protocol Flags Type St Inode Path\n" +
                                socket(true, at + older) + socket(true, at + newer) +
                                socket(true, "@" + at + abstract) + socket(false, at + client);
    const std::vector<std::pair<std::string, bool>> cases = {
        {":" + older, false}, {"unix:" + older, false},  {":" + newer, true},        {":" + abstract, false},
        {":" + client, true}, {":" + older + "0", true}, {"host_example:10", false}, {"none", false},
    };
    for (const auto& [display, gone] : cases)
        EXPECT_EQ(RemappedKeycodes::serverIsGone(display, recordWritten, sockets, folder), gone) << display;
    fs::remove_all(folder);
}

// The record of a run that ended after its display went away stayed for good: no start on that
// display would ever come to restore and remove it.
TEST(RemappedKeycodes, RecordsOfEndedRunsOnDisplaysThatAreGoneAreRemoved) {
    const fs::path directory = fs::temp_directory_path() / ("mosaiko-keycodes-" + std::to_string(::getpid()));
    fs::remove_all(directory);
    fs::create_directories(directory);
    fs::permissions(directory, fs::perms::owner_all, fs::perm_options::replace);

    const std::string gone = testDisplay(5);  // no server listens for it
    const auto self = InstanceRegistry::describeProcess(::getpid());
    ASSERT_TRUE(self);
    const std::string ended = std::to_string(::getpid()) + "." + std::to_string(self->startTime + 1) + ".0";
    const std::string running = std::to_string(::getpid()) + "." + std::to_string(self->startTime) + ".0";
    const std::set<std::string> kept = {
        "keycodes.host_example:10." + ended,
        "keycodes.:" + gone + "." + running,
        "keycodes.:1." + ended,
    };
    const std::set<std::string> removed = {"keycodes.:" + gone + "." + ended,
                                           "keycodes.:" + gone + "." + ended + ".tmp-Ab12Cd"};
    for (const auto& file : kept) std::ofstream(directory / file) << "200 16777216\n";
    for (const auto& file : removed) std::ofstream(directory / file) << "200 16777216\n";

    const auto leftovers = RemappedKeycodes::leftByEndedRuns(directory, ":1");
    ASSERT_EQ(leftovers.size(), 1u);  // this display's, for the caller to restore
    EXPECT_EQ(leftovers[0].file.filename(), "keycodes.:1." + ended);
    std::set<std::string> left;
    for (const auto& item : fs::directory_iterator(directory)) left.insert(item.path().filename().string());
    EXPECT_EQ(left, kept);
    fs::remove_all(directory);
}

}  // namespace
}  // namespace mosaiko

#include "platform/linux/RemappedKeycodes.hpp"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <fstream>
#include <set>
#include <tuple>

#include "platform/linux/InstanceRegistry.hpp"

namespace mosaiko {
namespace {

namespace fs = std::filesystem;

// A display's number of its own for this test, which no real server is likely to use.
std::string testDisplay(int offset) {
    return std::to_string(5000 + offset * 1000 + ::getpid() % 1000);
}

TEST(RemappedKeycodes, AServerIsGoneWhenNoneListensForItsDisplayOrOneStartedAfterTheRun) {
    const std::string path = testDisplay(1), abstract = testDisplay(2), client = testDisplay(3);
    const std::string sockets =
        "Num       RefCount Protocol Flags    Type St Inode Path\n"
        "0000000000000000: 00000002 00000000 00010000 0001 01 101 /tmp/.X11-unix/X" +
        path +
        "\n"
        "0000000000000000: 00000002 00000000 00010000 0001 01 102 @/tmp/.X11-unix/X" +
        abstract +
        "\n"
        "0000000000000000: 00000003 00000000 00000000 0001 03 103 /tmp/.X11-unix/X" +
        client +
        "\n"
        "0000000000000000: 00000002 00000000 00010000 0001 01 104\n";
    const unsigned long long self = InstanceRegistry::describeProcess(::getpid())->startTime;
    const fs::path lock = "/tmp/.X" + abstract + "-lock";  // this test is that display's server
    std::ofstream(lock) << "      " << ::getpid() << "\n";
    const std::vector<std::tuple<std::string, unsigned long long, bool>> cases = {
        {":" + path, 0, false},        {"unix:" + path, 0, false},       {":" + client, 0, true},
        {":" + path + "0", 0, true},   {"host_example:10", 0, false},    {"none", 0, false},
        {":" + abstract, self, false}, {":" + abstract, self - 1, true},
    };
    for (const auto& [display, runStart, gone] : cases)
        EXPECT_EQ(RemappedKeycodes::serverIsGone(display, runStart, sockets), gone)
            << display << " " << runStart;
    fs::remove(lock);
}

// The record of a run that ended after its display went away stayed for good: no start on that
// display would ever come to restore and remove it.
TEST(RemappedKeycodes, RecordsOfEndedRunsOnDisplaysThatAreGoneAreRemoved) {
    const fs::path directory = fs::temp_directory_path() / ("mosaiko-keycodes-" + std::to_string(::getpid()));
    fs::remove_all(directory);
    fs::create_directories(directory);
    fs::permissions(directory, fs::perms::owner_all, fs::perm_options::replace);

    // A display served by a socket of this test, and one no server listens for.
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string served = testDisplay(4);
    const std::string name = "/tmp/.X11-unix/X" + served;
    std::copy(name.begin(), name.end(), address.sun_path + 1);  // an abstract name: no file to clean up
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address),
                     static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())),
              0);
    ASSERT_EQ(::listen(listener, 1), 0);
    const std::string gone = testDisplay(5);

    const auto self = InstanceRegistry::describeProcess(::getpid());
    ASSERT_TRUE(self);
    const std::string ended = std::to_string(::getpid()) + "." + std::to_string(self->startTime + 1) + ".0";
    const std::string running = std::to_string(::getpid()) + "." + std::to_string(self->startTime) + ".0";
    const std::set<std::string> kept = {
        "keycodes.:" + served + "." + ended,
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
    ::close(listener);
    fs::remove_all(directory);
}

}  // namespace
}  // namespace mosaiko

#include "platform/linux/PosixProcessLauncher.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace mosaiko {
namespace {

namespace fs = std::filesystem;

std::string waitForFile(const fs::path& path) {
    for (int i = 0; i < 500 && !fs::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(PosixProcessLauncher, StartsAProgramWhosePathNeedsQuotingWithEachArgumentAsOneWord) {
    const fs::path folder =
        fs::temp_directory_path() / ("mosaiko launcher it's $(x) " + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path program = folder / "copy 'of' mosaiko";
    const fs::path written = folder / "arguments";
    std::ofstream(program) << "#!/bin/sh\nprintf '%s|' \"$@\" > \"$(dirname \"$0\")/arguments.tmp\"\n"
                              "mv \"$(dirname \"$0\")/arguments.tmp\" \"$(dirname \"$0\")/arguments\"\n";
    fs::permissions(program, fs::perms::owner_all);

    PosixProcessLauncher launcher;
    EXPECT_EQ(launcher.startDetached(program.string(), {"--open-permissions-dialog", "a b"}), std::nullopt);
    EXPECT_EQ(waitForFile(written), "--open-permissions-dialog|a b|");

    // A program that cannot start is reported, never taken for a start.
    EXPECT_NE(launcher.startDetached((folder / "missing").string(), {}), std::nullopt);
    fs::permissions(program, fs::perms::owner_read);
    EXPECT_NE(launcher.startDetached(program.string(), {}), std::nullopt);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace mosaiko

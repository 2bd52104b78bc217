#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Published.hpp"

namespace mosaiko {
namespace {

TEST(PublishedDidSet, RunsAfterTheValueIsStoredAndOnlyForTheAssignmentThatStands) {
    Published<int> value(0);
    std::vector<std::string> log;
    value.setDidSet(
        [&](const int& v) { log.push_back("did " + std::to_string(v) + "/" + std::to_string(value())); });
    auto c = value.observe([&](const int& next) {
        log.push_back("will " + std::to_string(next) + "/" + std::to_string(value()));
        if (next == 1) value.set(2);  // supersedes the outer assignment
    });

    value.set(5);
    value.set(1);
    EXPECT_EQ(log, (std::vector<std::string>{"will 5/0", "did 5/5", "will 1/5", "will 2/5", "did 2/2"}));
    EXPECT_EQ(value(), 2);
}

}  // namespace
}  // namespace mosaiko

#include "platform/Json.hpp"

#include <gtest/gtest.h>

namespace mosaiko {
namespace {

using namespace std::string_literals;

// The parser took a NUL byte for the end of the text: "{…}\0junk" read as good JSON.
TEST(JsonTest, TextWithANulByteAnywhereDoesNotRead) {
    EXPECT_TRUE(json::parse(R"({"a":[1,"b"]})"));
    EXPECT_TRUE(json::parse(R"("\u0000")"));  // an escaped NUL is a character like any other
    for (const std::string& bad : {"{}\0junk"s, "{\"a\":\"b\0c\"}"s, "\0"s, "[1,\0 2]"s, "1\0"s})
        EXPECT_FALSE(json::parse(bad)) << bad.size();
}

}  // namespace
}  // namespace mosaiko

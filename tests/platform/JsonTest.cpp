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

// The stores write their large values string by string; what they write must be what the general
// writer writes, bad bytes and all.
TEST(JsonTest, AStringIsAppendedAsTheGeneralWriterWritesIt) {
    std::vector<std::string> texts = {"",
                                      "plain",
                                      "\"\\/",
                                      "😀 é ツ",
                                      "a\xFF"
                                      "b",
                                      "\xC3",
                                      "\xED\xA0\x80",
                                      "x\xF0\x9F"};
    for (int c = 0; c < 0x80; ++c) texts.push_back("<"s + static_cast<char>(c) + ">");
    for (const auto& text : texts) {
        std::string appended = "[";
        json::appendString(appended, text);
        EXPECT_EQ(appended, "[" + json::dump(Json(text))) << text;
    }
}

}  // namespace
}  // namespace mosaiko

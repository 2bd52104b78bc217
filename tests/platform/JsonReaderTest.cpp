#include "platform/JsonReader.hpp"

#include <gtest/gtest.h>

#include "platform/Json.hpp"

namespace mosaiko {
namespace {

using namespace std::string_literals;

// The shape read in each case: {"a": [strings], "m": {string values}, optional}.
struct Shape {
    std::vector<std::string> a;
    std::map<std::string, std::string> m;
    bool operator==(const Shape&) const = default;
};

std::optional<Shape> readFast(std::string_view text) {
    JsonReader reader(text);
    Shape shape;
    const bool read = reader.object({{"a", [&] { return reader.readStringArray(shape.a); }},
                                     {"m", [&] { return reader.readStringMap(shape.m); }, false}});
    if (!read || !reader.atEnd()) return std::nullopt;
    return shape;
}

// What the general reader makes of the same text, as the stores' decoders read it.
std::optional<Shape> readGeneral(std::string_view text) {
    const auto json = json::parse(text);
    if (!json || !json->is_object() || !json->contains("a")) return std::nullopt;
    auto a = json::stringArray((*json)["a"]);
    if (!a) return std::nullopt;
    Shape shape{*a, {}};
    if (json->contains("m")) {
        auto m = json::stringMap((*json)["m"]);
        if (!m) return std::nullopt;
        shape.m = *m;
    }
    return shape;
}

// Whatever the reader reads, it reads as the general reader does; it declines the rest, which the
// general reader then decides on.
TEST(JsonReaderTest, ReadsWhatItReadsAsTheGeneralReaderAndDeclinesTheRest) {
    const struct {
        std::string text;
        bool read;  // by this reader; by the general one too where true
    } cases[] = {
        {R"({"a":["x","y"]})", true},
        {" \n{ \"m\" : {\"k\":\"v\", \"j\":\"\"},\t\"a\" : [ ] }\r\n", true},
        {R"({"a":["\"\\\/\b\f\n\r\t\u00e9\u20AC\u0000 end"]})", true},
        {"{\"a\":[\"😀 é ツ \x7f\"]}", true},
        {R"({"\u0061":["x\ty"],"m":{"\u00e9":"\"","k\n":"é"}})", true},
        {R"({"a":["\u00e9é\n","é\té"]})", true},
        // Left to the general reader, which reads them (below).
        {R"({"a":["\ud83d\ude00"]})", false},
        {R"({"a":["x"],"b":1})", false},
        {R"({"a":["x"],"a":["y"]})", false},
        {R"({"\u0061":[],"a":["y"]})", false},
        {R"({"a":[],"m":{"k":"1","k":"2"}})", false},
        {"\xEF\xBB\xBF{\"a\":[]}", false},
        // Read by neither.
        {R"({"a":["x",]})", false},
        {R"({"a":["x"]} x)", false},
        {R"({"a":["x"})", false},
        {R"({"a":"x"})", false},
        {R"({"a":null})", false},
        {R"({"m":{}})", false},
        {R"({"a":["\udc00"]})", false},
        {R"({"a":["\x"]})", false},
        {R"({"a":["\u12"]})", false},
        {"{\"a\":[\"\x01\"]}", false},
        {"{\"a\":[\"\xC3\"]}", false},
        {"{\"a\":[\"\\n\xC3\"]}", false},
        {"{\"a\":[\"\\n\x01\"]}", false},
        {"{\"\xC3\":[]}", false},
        {"{\"a\":[\"\xED\xA0\x80\"]}", false},
        {"{\"a\":[\"x\"]}\0"s, false},
        {"[]", false},
        {"", false},
    };
    for (const auto& c : cases) {
        const auto fast = readFast(c.text);
        EXPECT_EQ(fast.has_value(), c.read) << c.text;
        if (fast) {
            EXPECT_EQ(fast, readGeneral(c.text)) << c.text;
        }
    }
    for (const char* left : {R"({"a":["\ud83d\ude00"]})", R"({"a":["x"],"b":1})", R"({"a":["x"],"a":["y"]})",
                             R"({"\u0061":[],"a":["y"]})"})
        EXPECT_TRUE(readGeneral(left)) << left;
    EXPECT_EQ(readFast(R"({"a":["\"\\\/\b\f\n\r\t\u00e9\u20AC\u0000 end"]})")->a[0],
              "\"\\/\b\f\n\r\t\xC3\xA9\xE2\x82\xAC\0 end"s);
}

// Plain text is passed eight bytes at a time: whatever ends it or needs a look is found in any place.
TEST(JsonReaderTest, ReadsEveryByteOfALongStringWhereverItStands) {
    for (std::size_t length = 0; length <= 20; ++length) {
        for (std::size_t at = 0; at <= length; ++at) {
            for (const char* special : {"\\n", "\\\"", "\x01", "\x1f", "\x7f", "é", "\xC3"}) {
                std::string text(length, 'x');
                text.insert(at, special);
                text = "{\"a\":[\"" + text + "\",\"" + text + "\"]}";
                EXPECT_EQ(readFast(text), readGeneral(text)) << text;
            }
        }
    }
}

}  // namespace
}  // namespace mosaiko

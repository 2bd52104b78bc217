#include <gtest/gtest.h>

#include "platform/MemoryDefaults.hpp"

namespace mosaiko {
namespace {

TEST(DefaultsDatabase, TypedReadingsCoerceLikeTheUserExpects) {
    MemoryDefaults d;
    d.set("int", 42);
    d.set("double", 2.9);
    d.set("yes", "YES");
    d.set("numeric", "17");
    d.set("bool", true);
    d.set("data", DefaultsData{"\x01\x02"});

    EXPECT_EQ(d.integer("int"), 42);
    EXPECT_EQ(d.integer("double"), 2);
    EXPECT_EQ(d.integer("numeric"), 17);
    EXPECT_EQ(d.integer("bool"), 1);
    EXPECT_EQ(d.integer("missing"), 0);
    EXPECT_EQ(d.integer("data"), 0);
    EXPECT_TRUE(d.boolValue("yes"));
    EXPECT_TRUE(d.boolValue("int"));
    EXPECT_FALSE(d.boolValue("missing"));
    EXPECT_DOUBLE_EQ(d.doubleValue("int"), 42.0);

    // Exact readings never coerce.
    EXPECT_EQ(d.string("int"), std::nullopt);
    EXPECT_EQ(d.data("yes"), std::nullopt);
    EXPECT_EQ(d.data("data"), std::string("\x01\x02"));

    // Lent in place: only a data value, and only when there is one.
    for (const auto& [key, lent] : std::vector<std::pair<const char*, std::optional<std::string>>>{
             {"data", "\x01\x02"}, {"yes", std::nullopt}, {"int", std::nullopt}, {"missing", std::nullopt}}) {
        std::optional<std::string> read;
        EXPECT_EQ(d.readData(key, [&](std::string_view bytes) { read = std::string(bytes); }),
                  lent.has_value());
        EXPECT_EQ(read, lent) << key;
    }
}

TEST(DefaultsDatabase, StringArrayRejectsMixedArrays) {
    MemoryDefaults d;
    d.set("strings", DefaultsValue::Array{"a", "b"});
    d.set("mixed", DefaultsValue::Array{"a", 1});
    EXPECT_EQ(d.stringArray("strings"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(d.stringArray("mixed"), std::nullopt);
    EXPECT_EQ(d.stringArray("missing"), std::nullopt);
}

TEST(DefaultsDatabase, UndecodableValuesAreKeptAsideWithoutOverwritingEarlierCopies) {
    MemoryDefaults d;
    EXPECT_EQ(d.preserveUndecodable("pins"), std::nullopt);

    d.set("pins", DefaultsData{"{broken"});
    EXPECT_EQ(d.preserveUndecodable("pins"), "pins.corrupt");
    // Keeping the same bytes twice does not make a second copy.
    EXPECT_EQ(d.preserveUndecodable("pins"), "pins.corrupt");

    d.set("pins", DefaultsData{"[also broken"});
    EXPECT_EQ(d.preserveUndecodable("pins"), "pins.corrupt.2");
    EXPECT_EQ(d.data("pins.corrupt"), "{broken");
    EXPECT_EQ(d.data("pins.corrupt.2"), "[also broken");
}

}  // namespace
}  // namespace mosaiko

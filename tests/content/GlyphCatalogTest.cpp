#include "content/GlyphCatalog.hpp"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/Text.hpp"

namespace mosaiko {
namespace {

const EmojiEntry& glyph(const std::string& id) {
    for (const auto& entry : GlyphCatalog::entries()) {
        if (entry.id == id) return entry;
    }
    throw std::runtime_error("no row " + id);
}

EmojiEntry entryWith(std::string name, std::vector<std::string> shortcodes,
                     std::vector<std::string> keywords) {
    EmojiEntry entry;
    entry.id = "glyph-test";
    entry.emoji = "?";
    entry.name = std::move(name);
    entry.category = "Glyphs";
    entry.shortcodes = std::move(shortcodes);
    entry.keywords = std::move(keywords);
    return entry;
}

TEST(GlyphCatalogTest, RowsAreWellFormedAndUnique) {
    const auto& entries = GlyphCatalog::entries();
    ASSERT_EQ(entries.size(), 163u);
    std::set<std::string> ids;
    std::set<std::string> shortcodes;
    std::map<std::size_t, int> shortcodeCounts;
    std::map<std::size_t, int> keywordCounts;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& entry = entries[i];
        SCOPED_TRACE(entry.id);
        EXPECT_TRUE(ids.insert(entry.id).second);
        EXPECT_EQ(entry.id.rfind("glyph-", 0), 0u);
        EXPECT_EQ(entry.category, "Glyphs");
        EXPECT_FALSE(entry.variants.has_value());
        EXPECT_FALSE(entry.minimumMacOSVersion.has_value());
        EXPECT_FALSE(entry.name.empty());
        // Rows 7 to 11 are the ASCII arrows; every other glyph is one scalar.
        const bool asciiArrow = i >= 6 && i <= 10;
        if (asciiArrow) {
            EXPECT_GE(entry.emoji.size(), 2u);
        } else {
            EXPECT_EQ(text::scalarCount(entry.emoji), 1u);
        }
        for (const auto& shortcode : entry.shortcodes)
            EXPECT_TRUE(shortcodes.insert(shortcode).second) << shortcode;
        ++shortcodeCounts[entry.shortcodes.size()];
        ++keywordCounts[entry.keywords.size()];
    }
    EXPECT_EQ(shortcodeCounts, (std::map<std::size_t, int>{{1, 113}, {2, 46}, {3, 3}, {4, 1}}));
    EXPECT_EQ(keywordCounts, (std::map<std::size_t, int>{{2, 48}, {3, 83}, {4, 28}, {5, 2}, {6, 2}}));
}

TEST(GlyphCatalogTest, SampleRows) {
    const auto& entries = GlyphCatalog::entries();
    EXPECT_EQ(entries.front().id, "glyph-right-arrow");
    EXPECT_EQ(entries.back().id, "glyph-for-all");
    EXPECT_EQ(entries[10].emoji, "<->");
    EXPECT_EQ(entries[80].id, "glyph-math-italic-f");
    EXPECT_EQ(text::scalars(entries[80].emoji), std::u32string{0x1D453});
    // The invisible spaces insert exactly one scalar and nothing else.
    EXPECT_EQ(glyph("glyph-zero-width-space").emoji, "\xE2\x80\x8B");
    EXPECT_EQ(glyph("glyph-non-breaking-space").emoji, "\xC2\xA0");
    EXPECT_EQ(entries[43].id, "glyph-zero-width-space");

    const auto& ascii = glyph("glyph-ascii-right-arrow");
    EXPECT_EQ(ascii.emoji, "->");
    EXPECT_EQ(ascii.name, "ASCII right arrow");
    EXPECT_EQ(ascii.shortcodes, (std::vector<std::string>{"ascii_arrow_right", "arrow_right_ascii"}));
    EXPECT_EQ(ascii.keywords, (std::vector<std::string>{"ascii", "arrow", "right", "mapping"}));

    const auto& nbsp = glyph("glyph-non-breaking-space");
    EXPECT_EQ(nbsp.name, "Non-breaking space");
    EXPECT_EQ(nbsp.shortcodes,
              (std::vector<std::string>{"non_breaking_space", "nonbreaking_space", "nbsp", "hard_space"}));

    const auto& oSlash = glyph("glyph-uppercase-o-slash");
    EXPECT_EQ(oSlash.emoji, "Ø");
    EXPECT_EQ(oSlash.name, "Latin capital letter O with stroke");
    EXPECT_EQ(glyph("glyph-degree-celsius").name, "Degree Celsius");
    EXPECT_EQ(glyph("glyph-care-of").keywords, (std::vector<std::string>{"address", "mail"}));
}

TEST(GlyphCatalogTest, EveryRowFallsIntoItsLibrarySection) {
    const std::map<char, std::string> sections{{'A', "Arrows"},        {'M', "Marks & Shapes"},
                                               {'L', "Math & Logic"},  {'C', "Currency & Fractions"},
                                               {'T', "Letters"},       {'S', "Symbols & Ornaments"},
                                               {'K', "Cards & Chess"}, {'W', "Sky & Weather"},
                                               {'B', "Box Drawing"}};
    // One letter per row, in row order.
    const std::string expected =
        "AAAAAAAAAAAMMMMMMMMMMMMBBLLLLLLLLSSLLLLS"
        "MMMWWSSSSSSSCCCCCCCCAAAAAAABBBBBBBBBBBTT"
        "LTTTLLTTSSSSSSSSSSSSMSMMMLSSSSSKKKKKKKKK"
        "KKKSSSSSWWWWWWWWSSSCCSWMMCCCCCCMMLLLLLLL"
        "LLL";
    const auto& entries = GlyphCatalog::entries();
    ASSERT_EQ(expected.size(), entries.size());
    std::map<std::string, int> sizes;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto section = GlyphCatalog::libraryCategory(entries[i]);
        EXPECT_EQ(section, sections.at(expected[i])) << entries[i].id;
        ++sizes[section];
    }
    EXPECT_EQ(sizes, (std::map<std::string, int>{{"Arrows", 18},
                                                 {"Marks & Shapes", 23},
                                                 {"Math & Logic", 26},
                                                 {"Currency & Fractions", 16},
                                                 {"Letters", 7},
                                                 {"Symbols & Ornaments", 37},
                                                 {"Cards & Chess", 12},
                                                 {"Sky & Weather", 11},
                                                 {"Box Drawing", 13}}));
}

TEST(GlyphCatalogTest, SectionRuleMatchesWholeTermsInGroupOrder) {
    // The name splits at every non-alphanumeric scalar; shortcodes stay whole.
    EXPECT_EQ(GlyphCatalog::libraryCategory(entryWith("Fleur-de-box", {}, {})), "Box Drawing");
    EXPECT_EQ(GlyphCatalog::libraryCategory(entryWith("Odd", {"arrow_right"}, {"pointer"})),
              "Symbols & Ornaments");
    EXPECT_EQ(GlyphCatalog::libraryCategory(entryWith("Odd", {"Arrow"}, {})), "Arrows");
    EXPECT_EQ(GlyphCatalog::libraryCategory(entryWith("Odd", {}, {"DOT"})), "Marks & Shapes");
    EXPECT_EQ(GlyphCatalog::libraryCategory(entryWith("Odd", {}, {"dots", "whitespace"})),
              "Symbols & Ornaments");
    EXPECT_EQ(GlyphCatalog::libraryCategory(entryWith("Zero width space", {}, {})), "Sky & Weather");
    // The first group in test order wins, whatever the order of the terms.
    EXPECT_EQ(GlyphCatalog::libraryCategory(entryWith("Odd", {}, {"letter", "sum"})), "Math & Logic");
    EXPECT_EQ(GlyphCatalog::libraryCategory(entryWith("Cross arrow", {}, {})), "Arrows");
    EXPECT_EQ(GlyphCatalog::libraryCategory(entryWith("", {}, {})), "Symbols & Ornaments");

    EXPECT_EQ(GlyphCatalog::libraryCategory(glyph("glyph-capital-sigma")), "Math & Logic");
    EXPECT_EQ(GlyphCatalog::libraryCategory(glyph("glyph-omega")), "Letters");
    EXPECT_EQ(GlyphCatalog::libraryCategory(glyph("glyph-ballot-box")), "Box Drawing");
    EXPECT_EQ(GlyphCatalog::libraryCategory(glyph("glyph-ellipsis")), "Symbols & Ornaments");
}

TEST(GlyphCatalogTest, OrderedLibraryCategoriesFollowTheDisplayOrder) {
    EXPECT_TRUE(GlyphCatalog::orderedLibraryCategories({}).empty());
    EXPECT_EQ(GlyphCatalog::orderedLibraryCategories({glyph("glyph-left-arrow"), glyph("glyph-up-arrow")}),
              (std::vector<std::string>{"Arrows"}));
    EXPECT_EQ(GlyphCatalog::orderedLibraryCategories({glyph("glyph-box-cross"), glyph("glyph-right-arrow")}),
              (std::vector<std::string>{"Arrows", "Box Drawing"}));
    EXPECT_EQ(GlyphCatalog::orderedLibraryCategories(GlyphCatalog::entries()),
              (std::vector<std::string>{"Arrows", "Marks & Shapes", "Math & Logic", "Currency & Fractions",
                                        "Letters", "Symbols & Ornaments", "Cards & Chess", "Sky & Weather",
                                        "Box Drawing"}));
}

}  // namespace
}  // namespace mosaiko

// Emoticons and glyphs are drawn with the desktop's ordinary fonts: every character they hold must
// be in some installed font, or it shows as an empty box. scripts/bootstrap installs the fonts.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>
#include <unicode/uchar.h>

#include <cstdio>
#include <map>
#include <string>

#include "content/EmoticonCatalog.hpp"
#include "content/GlyphCatalog.hpp"
#include "platform/Text.hpp"

namespace mosaiko {
namespace {

// Characters that draw nothing of their own: spaces, controls, joiners and variation selectors.
bool drawsAGlyph(char32_t c) {
    const auto type = u_charType(static_cast<UChar32>(c));
    return type != U_CONTROL_CHAR && type != U_FORMAT_CHAR && type != U_SPACE_SEPARATOR &&
           !(c >= 0xFE00 && c <= 0xFE0F);
}

TEST(CatalogFontCoverage, EveryEmoticonAndGlyphCharacterIsInAnInstalledFont) {
    ASSERT_TRUE(FcInit());
    FcPattern* all = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_CHARSET, nullptr);
    FcFontSet* fonts = FcFontList(nullptr, all, objects);
    FcCharSet* covered = FcCharSetCreate();
    for (int i = 0; fonts && i < fonts->nfont; ++i) {
        FcCharSet* charset = nullptr;
        if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &charset) == FcResultMatch)
            FcCharSetMerge(covered, charset, nullptr);
    }

    std::map<char32_t, std::string> missing;  // a character and one text that holds it
    const auto check = [&](const std::vector<EmojiEntry>& entries) {
        for (const auto& entry : entries) {
            for (char32_t c : text::scalars(entry.emoji)) {
                if (drawsAGlyph(c) && !FcCharSetHasChar(covered, c)) missing.emplace(c, entry.emoji);
            }
        }
    };
    check(EmoticonCatalog::allEntries());
    check(GlyphCatalog::entries());
    for (const auto& [c, text] : missing) {
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
        ADD_FAILURE() << code << " of \"" << text
                      << "\" is in no installed font (see the fonts in scripts/bootstrap)";
    }

    FcCharSetDestroy(covered);
    if (fonts) FcFontSetDestroy(fonts);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(all);
}

}  // namespace
}  // namespace mosaiko

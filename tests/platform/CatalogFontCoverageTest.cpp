// Emoticons, glyphs and the windows' own texts and symbols are drawn with the desktop's ordinary
// fonts: every character they hold must be in some installed font, or it shows as an empty box.
// scripts/bootstrap installs the fonts.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>
#include <unicode/uchar.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
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

// Every font's characters, merged.
class InstalledFonts {
  public:
    InstalledFonts() {
        FcInit();
        FcPattern* all = FcPatternCreate();
        FcObjectSet* objects = FcObjectSetBuild(FC_CHARSET, nullptr);
        FcFontSet* fonts = FcFontList(nullptr, all, objects);
        for (int i = 0; fonts && i < fonts->nfont; ++i) {
            FcCharSet* charset = nullptr;
            if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &charset) == FcResultMatch)
                FcCharSetMerge(covered_, charset, nullptr);
        }
        if (fonts) FcFontSetDestroy(fonts);
        FcObjectSetDestroy(objects);
        FcPatternDestroy(all);
    }
    ~InstalledFonts() { FcCharSetDestroy(covered_); }
    InstalledFonts(const InstalledFonts&) = delete;
    InstalledFonts& operator=(const InstalledFonts&) = delete;

    // Adds a failure for every character of `text` that draws a glyph no font has.
    void expectCovered(const std::string& text, const std::string& where) const {
        for (char32_t c : text::scalars(text)) {
            const bool privateUse = u_charType(static_cast<UChar32>(c)) == U_PRIVATE_USE_CHAR;
            if (!drawsAGlyph(c) || privateUse || FcCharSetHasChar(covered_, c)) continue;
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
            ADD_FAILURE() << code << " of \"" << text << "\" (" << where
                          << ") is in no installed font (see the fonts in scripts/bootstrap)";
        }
    }

  private:
    FcCharSet* covered_ = FcCharSetCreate();
};

// The text of every string and character literal of a source file (escapes decoded; comments and
// code skipped), and the characters the code builds from numbers (QChar(0x23CE)).
std::vector<std::string> literalTexts(const std::string& source) {
    std::vector<std::string> texts;
    const auto hex = [&](std::size_t& i, std::size_t digits) {
        const std::size_t start = i;
        while (i < source.size() && i - start < digits &&
               std::isxdigit(static_cast<unsigned char>(source[i])))
            ++i;
        return static_cast<char32_t>(std::stoul(source.substr(start, i - start), nullptr, 16));
    };
    for (std::size_t i = 0; i < source.size(); ++i) {
        const char c = source[i];
        if (c == '/' && i + 1 < source.size() && source[i + 1] == '/') {
            i = source.find('\n', i);
            if (i == std::string::npos) break;
        } else if (c == '/' && i + 1 < source.size() && source[i + 1] == '*') {
            i = source.find("*/", i + 2);
            if (i == std::string::npos) break;
            ++i;
        } else if (c == '"' && i > 0 && source[i - 1] == 'R') {
            const std::size_t open = source.find('(', i);
            const std::string close = ")" + source.substr(i + 1, open - i - 1) + "\"";
            const std::size_t end = source.find(close, open);
            texts.push_back(source.substr(open + 1, end - open - 1));
            i = end + close.size() - 1;
        } else if (c == '"' ||
                   (c == '\'' && !(i > 0 && std::isxdigit(static_cast<unsigned char>(source[i - 1]))))) {
            std::string text;
            for (++i; i < source.size() && source[i] != c; ++i) {
                if (source[i] != '\\') {
                    text += source[i];
                    continue;
                }
                const char escape = source[++i];
                if (escape == 'u' || escape == 'U') {
                    ++i;
                    text += text::fromScalar(hex(i, escape == 'u' ? 4 : 8));
                    --i;
                } else if (escape == 'x') {
                    ++i;
                    text += static_cast<char>(hex(i, 2));
                    --i;
                } else if (escape == 'n' || escape == 't' || escape == 'r' ||
                           (escape >= '0' && escape <= '7')) {
                    text += ' ';  // draws nothing
                } else {
                    text += escape;
                }
            }
            texts.push_back(text);
        }
    }
    static const std::regex number(R"(QChar\((0x[0-9A-Fa-f]+)\))");
    for (std::sregex_iterator it(source.begin(), source.end(), number), end; it != end; ++it)
        texts.push_back(text::fromScalar(static_cast<char32_t>(std::stoul((*it)[1].str(), nullptr, 16))));
    return texts;
}

TEST(CatalogFontCoverage, EveryEmoticonAndGlyphCharacterIsInAnInstalledFont) {
    const InstalledFonts fonts;
    for (const auto* entries : {&EmoticonCatalog::allEntries(), &GlyphCatalog::entries()}) {
        for (const auto& entry : *entries) fonts.expectCovered(entry.emoji, entry.id);
    }
}

TEST(CatalogFontCoverage, EverySymbolTheWindowsDrawIsInAnInstalledFont) {
    const InstalledFonts fonts;
    std::size_t files = 0;
    for (const auto& item : std::filesystem::recursive_directory_iterator(MOSAIKO_SOURCE_DIR "/src")) {
        const auto extension = item.path().extension();
        if (extension != ".cpp" && extension != ".hpp") continue;
        std::ifstream file(item.path());
        std::stringstream source;
        source << file.rdbuf();
        ++files;
        for (const auto& text : literalTexts(source.str()))
            fonts.expectCovered(text::validUtf8(text),
                                item.path().lexically_relative(MOSAIKO_SOURCE_DIR).string());
    }
    EXPECT_GT(files, 100u);
    // The scanner itself: the literals of a line of code, and nothing of its comment.
    EXPECT_EQ(literalTexts(R"(f("a\u2420", U'\U0001F44D', "\xC3\x9F", 0x1'000, QChar(0x23CE)); // "\u2421")"),
              (std::vector<std::string>{"a\u2420", "\U0001F44D", "\xC3\x9F", "\u23CE"}));
}

}  // namespace
}  // namespace mosaiko

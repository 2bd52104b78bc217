#include "content/GlyphCatalog.hpp"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "content/CatalogRow.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

namespace {

constexpr CatalogRow row{"Glyphs"};

const char* const otherSection = "Symbols & Ornaments";

// The library's sections in display order.
constexpr std::array<std::string_view, 9> libraryCategoryOrder = {
    "Arrows",     "Marks & Shapes",      "Math & Logic",  "Currency & Fractions",
    "Letters",    "Symbols & Ornaments", "Cards & Chess", "Sky & Weather",
    "Box Drawing"};

struct WordGroup {
    const char* section;
    std::vector<std::string_view> words;
};

// Tested in this order (not the display order): the first group with a word among an entry's
// terms decides, so "sum" puts the capital sigma under math before "greek" could claim it.
const std::array<WordGroup, 8>& wordGroups() {
    static const std::array<WordGroup, 8> groups = {{
        {"Arrows", {"arrow"}},
        {"Box Drawing", {"box", "drawing"}},
        {"Cards & Chess", {"cards", "card", "poker", "chess"}},
        {"Sky & Weather", {"weather", "sun", "moon", "cloud", "snow", "winter", "space", "comet"}},
        {"Currency & Fractions", {"currency", "money", "fraction", "mail", "address"}},
        {"Math & Logic",
         {"math", "logic", "geometry", "compare", "sum", "product", "constant", "function", "root"}},
        {"Letters", {"greek", "latin", "letter", "scandinavian", "danish", "norwegian"}},
        {"Marks & Shapes",
         {"list", "shape", "checkbox", "check", "cross", "x", "dot", "separator", "dash", "punctuation",
          "circle", "square", "diamond", "bullet", "quote"}},
    }};
    return groups;
}

std::size_t rank(const std::string& section) {
    const auto it = std::find(libraryCategoryOrder.begin(), libraryCategoryOrder.end(), section);
    return static_cast<std::size_t>(it - libraryCategoryOrder.begin());
}

}  // namespace

const std::vector<EmojiEntry>& GlyphCatalog::entries() {
    // clang-format off
    static const std::vector<EmojiEntry> entries = {
        row("glyph-right-arrow", "→", "Right arrow", {"arrow_right", "right_arrow"}, {"arrow", "direction", "next", "forward"}),
        row("glyph-left-arrow", "←", "Left arrow", {"arrow_left", "left_arrow"}, {"arrow", "direction", "back", "previous"}),
        row("glyph-up-arrow", "↑", "Up arrow", {"arrow_up", "up_arrow"}, {"arrow", "direction", "up", "north"}),
        row("glyph-down-arrow", "↓", "Down arrow", {"arrow_down", "down_arrow"}, {"arrow", "direction", "down", "south"}),
        row("glyph-left-right-arrow", "↔", "Left right arrow", {"arrow_left_right"}, {"arrow", "horizontal"}),
        row("glyph-up-down-arrow", "↕", "Up down arrow", {"arrow_up_down"}, {"arrow", "vertical"}),
        row("glyph-ascii-right-arrow", "->", "ASCII right arrow", {"ascii_arrow_right", "arrow_right_ascii"}, {"ascii", "arrow", "right", "mapping"}),
        row("glyph-ascii-left-arrow", "<-", "ASCII left arrow", {"ascii_arrow_left"}, {"ascii", "arrow", "left"}),
        row("glyph-ascii-right-double-arrow", "=>", "ASCII right double arrow", {"ascii_double_arrow_right"}, {"arrow", "implies"}),
        row("glyph-ascii-left-double-arrow", "<=", "ASCII left double arrow", {"ascii_double_arrow_left"}, {"ascii", "arrow", "double"}),
        row("glyph-ascii-bidirectional-arrow", "<->", "ASCII bidirectional arrow", {"ascii_arrow_both"}, {"ascii", "arrow", "bidirectional"}),
        row("glyph-check-mark", "✓", "Check mark", {"check", "check_mark"}, {"check", "done", "success", "ok"}),
        row("glyph-cross-mark", "✗", "Cross mark", {"cross_mark"}, {"cross", "wrong"}),
        row("glyph-bullet", "•", "Bullet", {"bullet", "bullet_point"}, {"list", "point"}),
        row("glyph-small-bullet", "◦", "White bullet", {"white_bullet"}, {"list", "hollow"}),
        row("glyph-small-black-square", "▪", "Small black square", {"small_black_square"}, {"square", "shape", "list"}),
        row("glyph-small-white-square", "▫", "Small white square", {"small_white_square"}, {"square", "shape", "outline"}),
        row("glyph-black-circle", "●", "Black circle", {"black_circle"}, {"circle", "shape", "filled", "round"}),
        row("glyph-white-circle", "○", "White circle", {"white_circle"}, {"circle", "shape", "outline", "round"}),
        row("glyph-black-square", "■", "Black square", {"black_square"}, {"square", "shape", "filled"}),
        row("glyph-white-square", "□", "White square", {"white_square"}, {"square", "shape", "outline"}),
        row("glyph-black-diamond", "◆", "Black diamond", {"black_diamond"}, {"diamond", "shape", "filled"}),
        row("glyph-white-diamond", "◇", "White diamond", {"white_diamond"}, {"diamond", "shape", "outline"}),
        row("glyph-ballot-box-check", "☑", "Ballot box with check", {"ballot_box_check", "checked_box"}, {"checkbox", "done", "todo"}),
        row("glyph-ballot-box", "☐", "Ballot box", {"ballot_box", "checkbox"}, {"checkbox", "todo"}),
        row("glyph-plus-minus", "±", "Plus minus", {"plus_minus"}, {"math", "tolerance"}),
        row("glyph-not-equal", "≠", "Not equal", {"not_equal", "neq"}, {"math", "compare", "different"}),
        row("glyph-less-equal", "≤", "Less than or equal", {"less_equal"}, {"math", "compare", "less"}),
        row("glyph-greater-equal", "≥", "Greater than or equal", {"greater_equal"}, {"math", "compare", "greater"}),
        row("glyph-approximately", "≈", "Approximately equal", {"approx", "almost_equal"}, {"math", "compare", "about"}),
        row("glyph-infinity", "∞", "Infinity", {"infinity", "inf"}, {"math", "endless", "forever", "limit"}),
        row("glyph-multiplication", "×", "Multiplication sign", {"times", "multiply"}, {"math", "product"}),
        row("glyph-division", "÷", "Division sign", {"divide", "division"}, {"math", "quotient"}),
        row("glyph-degree", "°", "Degree", {"degree", "deg"}, {"temperature", "angle", "unit"}),
        row("glyph-micro", "µ", "Micro sign", {"micro"}, {"unit", "prefix"}),
        row("glyph-pi", "π", "Pi", {"pi"}, {"math", "constant", "circle"}),
        row("glyph-square-root", "√", "Square root", {"sqrt", "square_root"}, {"math", "root", "radical", "radix"}),
        row("glyph-delta", "∆", "Delta", {"delta", "increment"}, {"math", "change", "difference"}),
        row("glyph-summation", "∑", "Summation", {"summation", "sum_sign"}, {"math", "sum", "total", "sigma"}),
        row("glyph-ellipsis", "…", "Ellipsis", {"ellipsis"}, {"dots", "continue"}),
        row("glyph-middle-dot", "·", "Middle dot", {"middle_dot", "interpunct"}, {"dot", "separator", "center"}),
        row("glyph-em-dash", "—", "Em dash", {"em_dash", "mdash"}, {"dash", "punctuation", "break", "long"}),
        row("glyph-en-dash", "–", "En dash", {"en_dash", "ndash"}, {"dash", "punctuation", "range", "short"}),
        row("glyph-zero-width-space", "\u200B", "Zero width space", {"zero_width_space", "zwsp", "invisible_space"}, {"whitespace", "separator", "layout", "text", "blank", "wordbreak"}),
        row("glyph-non-breaking-space", "\u00A0", "Non-breaking space", {"non_breaking_space", "nonbreaking_space", "nbsp", "hard_space"}, {"whitespace", "separator", "layout", "text", "blank", "nonbreaking"}),
        row("glyph-section-sign", "§", "Section sign", {"section", "section_sign"}, {"legal", "law", "reference"}),
        row("glyph-paragraph-sign", "¶", "Pilcrow", {"pilcrow", "paragraph"}, {"paragraph", "text", "editing"}),
        row("glyph-dagger", "†", "Dagger", {"dagger"}, {"footnote", "reference"}),
        row("glyph-double-dagger", "‡", "Double dagger", {"double_dagger"}, {"footnote", "reference"}),
        row("glyph-copyright", "©", "Copyright sign", {"copyright"}, {"legal", "rights"}),
        row("glyph-registered", "®", "Registered sign", {"registered"}, {"legal", "brand"}),
        row("glyph-trademark", "™", "Trade mark sign", {"trademark", "tm"}, {"legal", "brand"}),
        row("glyph-euro", "€", "Euro sign", {"euro"}, {"currency", "money", "europe", "eur"}),
        row("glyph-pound", "£", "Pound sign", {"pound", "gbp"}, {"currency", "money", "britain", "sterling"}),
        row("glyph-yen", "¥", "Yen sign", {"yen"}, {"currency", "money", "japan", "jpy"}),
        row("glyph-rupee", "₹", "Indian rupee sign", {"rupee", "inr"}, {"currency", "money", "india"}),
        row("glyph-cent", "¢", "Cent sign", {"cent"}, {"currency", "money", "coin"}),
        row("glyph-one-half", "½", "One half", {"one_half", "half"}, {"fraction", "half"}),
        row("glyph-one-quarter", "¼", "One quarter", {"one_quarter", "quarter"}, {"fraction", "quarter"}),
        row("glyph-three-quarters", "¾", "Three quarters", {"three_quarters"}, {"fraction", "quarter", "three"}),
        row("glyph-left-hook-arrow", "↩", "Left hook arrow", {"arrow_hook_left"}, {"arrow", "return", "undo"}),
        row("glyph-right-hook-arrow", "↪", "Right hook arrow", {"arrow_hook_right"}, {"arrow", "redo", "forward"}),
        row("glyph-carriage-return", "↵", "Carriage return arrow", {"carriage_return", "enter_key"}, {"arrow", "return", "enter", "keyboard"}),
        row("glyph-north-east-arrow", "↗", "North east arrow", {"arrow_upper_right"}, {"arrow", "diagonal", "up", "right"}),
        row("glyph-south-east-arrow", "↘", "South east arrow", {"arrow_lower_right"}, {"arrow", "diagonal", "down", "right"}),
        row("glyph-north-west-arrow", "↖", "North west arrow", {"arrow_upper_left"}, {"arrow", "diagonal", "up", "left"}),
        row("glyph-south-west-arrow", "↙", "South west arrow", {"arrow_lower_left"}, {"arrow", "diagonal", "down", "left"}),
        row("glyph-box-horizontal", "─", "Box horizontal line", {"box_horizontal"}, {"box", "drawing", "line"}),
        row("glyph-box-vertical", "│", "Box vertical line", {"box_vertical"}, {"box", "drawing", "line"}),
        row("glyph-box-top-left", "┌", "Box top left corner", {"box_top_left"}, {"box", "drawing", "corner"}),
        row("glyph-box-top-right", "┐", "Box top right corner", {"box_top_right"}, {"box", "drawing", "corner"}),
        row("glyph-box-bottom-left", "└", "Box bottom left corner", {"box_bottom_left"}, {"box", "drawing", "corner"}),
        row("glyph-box-bottom-right", "┘", "Box bottom right corner", {"box_bottom_right"}, {"box", "drawing", "corner"}),
        row("glyph-box-left-tee", "├", "Box left tee", {"box_left_tee"}, {"box", "drawing", "junction"}),
        row("glyph-box-right-tee", "┤", "Box right tee", {"box_right_tee"}, {"box", "drawing", "junction"}),
        row("glyph-box-top-tee", "┬", "Box top tee", {"box_top_tee"}, {"box", "drawing", "junction"}),
        row("glyph-box-bottom-tee", "┴", "Box bottom tee", {"box_bottom_tee"}, {"box", "drawing", "junction"}),
        row("glyph-box-cross", "┼", "Box cross", {"box_cross"}, {"box", "drawing", "junction", "table"}),
        row("glyph-uppercase-o-slash", "Ø", "Latin capital letter O with stroke", {"o_slash_upper", "o_stroke_upper", "uppercase_o_slash"}, {"letter", "latin", "scandinavian", "danish", "norwegian"}),
        row("glyph-lowercase-o-slash", "ø", "Latin small letter o with stroke", {"o_slash_lower", "o_stroke_lower", "lowercase_o_slash"}, {"letter", "latin", "scandinavian", "danish", "norwegian"}),
        row("glyph-math-italic-f", "𝑓", "Mathematical italic f", {"math_f"}, {"math", "function", "italic"}),
        row("glyph-omega", "Ω", "Omega", {"omega"}, {"greek", "letter", "ohm"}),
        row("glyph-gamma", "Γ", "Gamma", {"gamma"}, {"greek", "letter"}),
        row("glyph-xi", "Ξ", "Xi", {"xi"}, {"greek", "letter"}),
        row("glyph-capital-sigma", "Σ", "Sigma", {"sigma"}, {"greek", "letter", "sum"}),
        row("glyph-capital-pi", "Π", "Capital pi", {"capital_pi"}, {"greek", "letter", "product"}),
        row("glyph-lambda", "λ", "Lambda", {"lambda"}, {"greek", "letter", "wavelength"}),
        row("glyph-psi", "ψ", "Psi", {"psi"}, {"greek", "letter", "psychology"}),
        row("glyph-telephone-symbol", "☏", "Telephone symbol", {"telephone"}, {"phone", "call"}),
        row("glyph-male-sign", "♂", "Male sign", {"male"}, {"gender", "mars"}),
        row("glyph-female-sign", "♀", "Female sign", {"female"}, {"gender", "venus"}),
        row("glyph-mercury-symbol", "☿", "Mercury symbol", {"mercury"}, {"planet", "astrology"}),
        row("glyph-skull-and-crossbones", "☠", "Skull and crossbones", {"skull_crossbones"}, {"poison", "danger", "pirate"}),
        row("glyph-peace-symbol", "☮", "Peace symbol", {"peace_symbol"}, {"peace", "hippie"}),
        row("glyph-yin-yang", "☯", "Yin yang", {"yin_yang"}, {"balance", "harmony", "taoism"}),
        row("glyph-star-and-crescent", "☪", "Star and crescent", {"star_crescent"}, {"islam", "religion"}),
        row("glyph-hammer-and-sickle", "☭", "Hammer and sickle", {"hammer_sickle"}, {"communism", "soviet"}),
        row("glyph-neptune", "♆", "Neptune", {"neptune"}, {"planet", "trident", "astrology"}),
        row("glyph-eighth-note", "♪", "Eighth note", {"eighth_note", "music_note"}, {"music", "melody", "note"}),
        row("glyph-heavy-heart", "❤", "Heavy heart", {"heavy_heart"}, {"love", "heart"}),
        row("glyph-heart-bullet", "❥", "Rotated heart bullet", {"heart_bullet"}, {"bullet", "love"}),
        row("glyph-floral-heart", "❦", "Floral heart", {"floral_heart"}, {"ornament", "hedera", "flower"}),
        row("glyph-floral-heart-bullet", "❧", "Rotated floral heart bullet", {"floral_heart_bullet"}, {"bullet", "ornament", "hedera"}),
        row("glyph-heavy-multiplication-x", "✖", "Heavy multiplication x", {"heavy_x", "heavy_multiplication_x"}, {"x", "cross", "cancel", "close"}),
        row("glyph-heavy-ballot-x", "✘", "Heavy ballot x", {"heavy_ballot_x"}, {"x", "wrong", "no"}),
        row("glyph-circled-times", "⊗", "Circled times", {"circled_times"}, {"math", "multiply", "times", "circle"}),
        row("glyph-radioactive", "☢", "Radioactive", {"radioactive"}, {"nuclear", "danger", "warning", "radiation"}),
        row("glyph-biohazard", "☣", "Biohazard", {"biohazard"}, {"danger", "toxic", "warning"}),
        row("glyph-hot-springs", "♨", "Hot springs", {"hot_springs", "onsen"}, {"bath", "steam"}),
        row("glyph-white-florette", "❀", "White florette", {"white_florette"}, {"flower", "ornament"}),
        row("glyph-black-florette", "✿", "Black florette", {"black_florette"}, {"flower", "ornament"}),
        row("glyph-black-spade-suit", "♠", "Black spade suit", {"spade", "spades"}, {"cards", "poker"}),
        row("glyph-white-spade-suit", "♤", "White spade suit", {"white_spade"}, {"cards", "poker", "outline"}),
        row("glyph-black-club-suit", "♣", "Black club suit", {"club", "clubs"}, {"cards", "poker"}),
        row("glyph-white-club-suit", "♧", "White club suit", {"white_club"}, {"cards", "poker", "outline"}),
        row("glyph-black-heart-suit", "♥", "Black heart suit", {"heart_suit", "hearts"}, {"cards", "poker", "love"}),
        row("glyph-white-heart-suit", "♡", "White heart suit", {"white_heart_suit"}, {"cards", "poker", "outline"}),
        row("glyph-black-diamond-suit", "♦", "Black diamond suit", {"diamond_suit", "diamonds"}, {"cards", "poker"}),
        row("glyph-white-diamond-suit", "♢", "White diamond suit", {"white_diamond_suit"}, {"cards", "poker", "outline"}),
        row("glyph-white-chess-king", "♔", "White chess king", {"white_king"}, {"chess", "king", "game", "piece"}),
        row("glyph-white-chess-queen", "♕", "White chess queen", {"white_queen"}, {"chess", "queen", "game"}),
        row("glyph-black-chess-king", "♚", "Black chess king", {"black_king"}, {"chess", "king", "game"}),
        row("glyph-black-chess-queen", "♛", "Black chess queen", {"black_queen"}, {"chess", "queen", "game"}),
        row("glyph-fleur-de-lis", "⚜", "Fleur-de-lis", {"fleur_de_lis"}, {"ornament", "france", "scouts", "lily"}),
        row("glyph-black-star", "★", "Black star", {"black_star", "star"}, {"favorite", "rating", "filled"}),
        row("glyph-white-star", "☆", "White star", {"white_star"}, {"favorite", "rating", "outline"}),
        row("glyph-four-pointed-black-star", "✮", "Outlined black star", {"outlined_star"}, {"star", "decoration", "sparkle"}),
        row("glyph-pinwheel-star", "✯", "Pinwheel star", {"pinwheel_star"}, {"star", "decoration", "spin"}),
        row("glyph-comet", "☄", "Comet", {"comet"}, {"astronomy", "sky", "tail"}),
        row("glyph-last-quarter-moon", "☾", "Last quarter moon", {"last_quarter_moon"}, {"moon", "night", "crescent"}),
        row("glyph-first-quarter-moon", "☽", "First quarter moon", {"first_quarter_moon"}, {"moon", "night", "crescent"}),
        row("glyph-white-sun", "☼", "White sun with rays", {"white_sun"}, {"sun", "sunny", "bright"}),
        row("glyph-sun-symbol", "☀", "Sun", {"sun"}, {"weather", "sunny", "bright"}),
        row("glyph-cloud-symbol", "☁", "Cloud", {"cloud"}, {"weather", "overcast"}),
        row("glyph-umbrella-symbol", "☂", "Umbrella", {"umbrella"}, {"weather", "rain"}),
        row("glyph-snowman", "☃", "Snowman", {"snowman"}, {"winter", "snow", "cold"}),
        row("glyph-black-smiling-face", "☻", "Black smiling face", {"black_smiley"}, {"smile", "face", "happy"}),
        row("glyph-white-smiling-face", "☺", "White smiling face", {"smiley"}, {"smile", "face", "happy"}),
        row("glyph-frowning-face", "☹", "Frowning face", {"frown"}, {"sad", "face"}),
        row("glyph-new-sheqel", "₪", "New sheqel sign", {"sheqel", "shekel"}, {"currency", "money", "israel"}),
        row("glyph-care-of", "℅", "Care of", {"care_of"}, {"address", "mail"}),
        row("glyph-numero-sign", "№", "Numero sign", {"numero"}, {"number", "abbreviation"}),
        row("glyph-degree-celsius", "℃", "Degree Celsius", {"degree_celsius", "celsius"}, {"temperature", "weather"}),
        row("glyph-inverted-question-mark", "¿", "Inverted question mark", {"inverted_question"}, {"punctuation", "spanish", "question"}),
        row("glyph-inverted-exclamation-mark", "¡", "Inverted exclamation mark", {"inverted_exclamation"}, {"punctuation", "spanish", "exclamation"}),
        row("glyph-one-third", "⅓", "One third", {"one_third", "third"}, {"fraction", "third"}),
        row("glyph-two-thirds", "⅔", "Two thirds", {"two_thirds"}, {"fraction", "third", "two"}),
        row("glyph-one-eighth", "⅛", "One eighth", {"one_eighth", "eighth"}, {"fraction", "eighth"}),
        row("glyph-three-eighths", "⅜", "Three eighths", {"three_eighths"}, {"fraction", "eighth"}),
        row("glyph-five-eighths", "⅝", "Five eighths", {"five_eighths"}, {"fraction", "eighth"}),
        row("glyph-seven-eighths", "⅞", "Seven eighths", {"seven_eighths"}, {"fraction", "eighth"}),
        row("glyph-open-quote-ornament", "❝", "Opening quote ornament", {"open_quote"}, {"quote", "ornament", "opening"}),
        row("glyph-close-quote-ornament", "❞", "Closing quote ornament", {"close_quote"}, {"quote", "ornament", "closing"}),
        row("glyph-there-exists", "∃", "There exists", {"exists"}, {"logic", "quantifier", "math"}),
        row("glyph-logical-and", "∧", "Logical and", {"logical_and", "wedge"}, {"logic", "conjunction", "and"}),
        row("glyph-angle", "∠", "Angle", {"angle"}, {"geometry", "math"}),
        row("glyph-logical-or", "∨", "Logical or", {"logical_or", "vee"}, {"logic", "disjunction", "or"}),
        row("glyph-intersection", "∩", "Intersection", {"intersection", "cap"}, {"math", "set", "common"}),
        row("glyph-subset", "⊂", "Subset", {"subset"}, {"math", "set", "contained"}),
        row("glyph-superset", "⊃", "Superset", {"superset"}, {"math", "set", "contains"}),
        row("glyph-union", "∪", "Union", {"union", "cup"}, {"math", "set", "combine"}),
        row("glyph-perpendicular", "⊥", "Perpendicular", {"perpendicular", "bottom"}, {"geometry", "math", "orthogonal"}),
        row("glyph-for-all", "∀", "For all", {"forall"}, {"logic", "quantifier", "math", "every"}),
    };
    // clang-format on
    return entries;
}

std::set<std::string> GlyphCatalog::searchableTerms(const EmojiEntry& entry) {
    std::set<std::string> terms;
    for (const auto& keyword : entry.keywords) terms.insert(text::lowercased(keyword));
    for (const auto& shortcode : entry.shortcodes) terms.insert(text::lowercased(shortcode));
    // The name splits into words at every scalar that is neither a letter nor a number.
    std::u32string word;
    const auto flush = [&] {
        if (!word.empty()) terms.insert(text::fromScalars(word));
        word.clear();
    };
    for (const char32_t scalar : text::scalars(text::lowercased(entry.name))) {
        if (text::isLetter(scalar) || text::isNumber(scalar)) {
            word.push_back(scalar);
        } else {
            flush();
        }
    }
    flush();
    return terms;
}

std::string GlyphCatalog::libraryCategory(const EmojiEntry& entry) {
    const auto terms = searchableTerms(entry);
    for (const auto& group : wordGroups()) {
        for (const auto word : group.words) {
            if (terms.contains(std::string(word))) return group.section;
        }
    }
    return otherSection;
}

std::vector<std::string> GlyphCatalog::orderedLibraryCategories(const std::vector<EmojiEntry>& entries) {
    std::vector<std::string> sections;
    for (const auto& entry : entries) {
        auto section = libraryCategory(entry);
        if (std::find(sections.begin(), sections.end(), section) == sections.end()) {
            sections.push_back(std::move(section));
        }
    }
    // Names outside the display order (none today) follow it, case-insensitively ordered.
    std::sort(sections.begin(), sections.end(), [](const std::string& a, const std::string& b) {
        const auto ra = rank(a);
        const auto rb = rank(b);
        if (ra != rb) return ra < rb;
        return text::canonicallyLess(text::lowercased(a), text::lowercased(b));
    });
    return sections;
}

}  // namespace mosaiko

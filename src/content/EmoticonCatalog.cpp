#include "content/EmoticonCatalog.hpp"

#include <unordered_map>
#include <unordered_set>

#include "content/CatalogRow.hpp"

namespace mosaiko {

namespace {

constexpr CatalogRow row{"Emoticons"};

// Row index by id.
const std::unordered_map<std::string_view, std::size_t>& entryIndexByID() {
    static const std::unordered_map<std::string_view, std::size_t> index = [] {
        std::unordered_map<std::string_view, std::size_t> map;
        const auto& entries = EmoticonCatalog::allEntries();
        for (std::size_t i = 0; i < entries.size(); ++i) map.emplace(entries[i].id, i);
        return map;
    }();
    return index;
}

}  // namespace

const std::vector<EmojiEntry>& EmoticonCatalog::allEntries() {
    // Texts are inserted exactly as written here, combining marks and all; never normalize them.
    // clang-format off
    static const std::vector<EmojiEntry> entries = {
        row("emoticon-tableflip", "(╯°□°)╯︵ ┻━┻", "Table flip", {"tableflip", "fliptable"}, {"flip", "rage", "classic"}),
        row("emoticon-unflip", "┬─┬ノ(º_ºノ)", "Table unflip", {"unflip", "putback"}, {"calm", "table"}),
        row("emoticon-shrug", "¯\\_(ツ)_/¯", "Shrug", {"shrug"}, {"idk", "whatever"}),
        row("emoticon-lenny", "( ͡° ͜ʖ ͡°)", "Lenny face", {"lenny", "lennyface"}, {"smirk", "suggestive"}),
        row("emoticon-look", "ಠ_ಠ", "Look of disapproval", {"disapprove", "look"}, {"stare", "serious"}),
        row("emoticon-rage", "(ノಠ益ಠ)ノ彡┻━┻", "Rage flip", {"rageflip", "madflip"}, {"rage", "angry"}),
        row("emoticon-dealwithit", "(⌐■_■)", "Deal with it", {"dealwithit", "cool"}, {"sunglasses", "cool"}),
        row("emoticon-think", "(•_•)?", "Thinking", {"think", "hmm"}, {"wonder", "question"}),
        row("emoticon-wow", "(⊙_⊙)", "Wow", {"wow"}, {"surprised", "amazed"}),
        row("emoticon-smirk", "(¬‿¬)", "Smirk", {"smirk"}, {"sly", "grin"}),
        row("emoticon-wink", "(^_~)", "Wink", {"wink"}, {"playful", "flirt"}),
        row("emoticon-sparkle", "(ﾉ◕ヮ◕)ﾉ*:･ﾟ✧", "Sparkles", {"sparkle", "sparkles", "magic"}, {"yay", "shine"}),
        row("emoticon-yay", "\\(•◡•)/", "Yay", {"yay", "hooray"}, {"happy", "cheer"}),
        row("emoticon-banzai", "＼(^o^)／", "Banzai", {"banzai", "hurray"}, {"cheer", "celebrate"}),
        row("emoticon-happy", "٩(◕‿◕｡)۶", "Happy", {"happy", "joy"}, {"smile", "glad"}),
        row("emoticon-victory", "(๑˃̵ᴗ˂̵)و", "Victory", {"victory", "win"}, {"success", "proud"}),
        row("emoticon-fistpump", "((o(￣ー￣)o))", "Fist pump", {"fistpump"}, {"excited", "pumped"}),
        row("emoticon-fistbump", "ヽ(＾Д＾)ﾉ", "Party", {"party", "fistbump"}, {"celebrate", "dance"}),
        row("emoticon-dance", "♪┏(・o･)┛♪┗ ( ･o･) ┓♪", "Dance", {"dance", "boogie"}, {"music", "party"}),
        row("emoticon-cheers", "( ^_^)／□☆□＼(^_^ )", "Cheers", {"cheers", "toast"}, {"drink", "celebrate"}),
        row("emoticon-muscle", "ᕙ(⇀‸↼‶)ᕗ", "Muscle", {"muscle", "strong"}, {"flex", "power"}),
        row("emoticon-hug", "(づ｡◕‿‿◕｡)づ", "Hug", {"hug", "hugs"}, {"love", "embrace"}),
        row("emoticon-loveeyes", "(｡♥‿♥｡)", "Love eyes", {"loveeyes", "inlove"}, {"love", "heart"}),
        row("emoticon-cry", "(╥﹏╥)", "Crying", {"cry"}, {"sad", "tears"}),
        row("emoticon-sob", "ಥ_ಥ", "Sobbing", {"sob", "tears"}, {"sad", "cry"}),
        row("emoticon-sleep", "(-_-) zzz", "Sleepy", {"sleep", "zzz"}, {"tired"}),
        row("emoticon-tea", "( ^-^)_旦", "Tea time", {"tea"}, {"drink", "relax"}),
        row("emoticon-coffee", "( -_-)旦~", "Coffee", {"coffee"}, {"drink", "morning"}),
        row("emoticon-cat", "ฅ^•ﻌ•^ฅ", "Cat", {"cat", "kitty"}, {"animal", "meow"}),
        row("emoticon-dog", "U・ᴥ・U", "Dog", {"dog", "puppy"}, {"animal", "woof"}),
        row("emoticon-robot", "[•.•]", "Robot", {"robot"}, {"bot", "machine"}),
        row("emoticon-peace", "✌(-‿-)✌", "Peace", {"peace"}, {"victory", "chill"}),
        row("emoticon-bow", "m(_ _)m", "Bow", {"bow", "kowtow"}, {"sorry", "respect"}),
        row("emoticon-flower", "(✿◠‿◠)", "Flower", {"flower"}, {"cute", "happy"}),
        row("emoticon-magic", "(∩｀-´)⊃━☆ﾟ.*･｡ﾟ", "Magic", {"magic", "wizard"}, {"spell"}),
        row("emoticon-blankstare", "._.", "Blank stare", {"blankstare"}, {"stare", "speechless"}),
        row("emoticon-happyclassic", "(^_^)", "Happy classic", {"happyclassic"}, {"happy", "classic"}),
        row("emoticon-softsmile", "(^.^)", "Soft smile", {"softsmile"}, {"smile", "gentle"}),
        row("emoticon-cutehappy", "(*^_^*)", "Cute happy", {"cutehappy", "blush"}, {"cute", "happy"}),
        row("emoticon-friendly", "(◕‿◕)", "Friendly", {"friendly"}, {"smile", "kind"}),
        row("emoticon-affection", "(◍•ᴗ•◍)❤", "Affection", {"affection", "love"}, {"heart", "sweet"}),
        row("emoticon-hellowave", "ヾ(＾-＾)ノ", "Hello wave", {"hellowave", "hello"}, {"wave", "greeting"}),
        row("emoticon-fingerguns", "(☞ﾟヮﾟ)☞", "Finger guns", {"fingerguns", "pewpew"}, {"point", "cool"}),
        row("emoticon-marge", "@@@@@:-)", "Marge", {"marge"}, {"hair", "cartoon"}),
        row("emoticon-cheekygrin", "(⌒ ͜ʖ⌒)", "Cheeky grin", {"cheekygrin", "cheeky"}, {"grin", "mischief"}),
        row("emoticon-dj", "d[-_-]b", "DJ", {"dj", "headphones"}, {"music", "beats"}),
        row("emoticon-middlefinger", "╭∩╮(-_-)╭∩╮", "Middle finger", {"middlefinger"}, {"rude", "angry"}),
        row("emoticon-doggo", "▼・ᴥ・▼", "Doggo", {"doggo", "pupper"}, {"animal", "cute"}),
        row("emoticon-notes", "＿φ( °-°)/", "Taking notes", {"notes", "writing"}, {"write", "memo"}),
        row("emoticon-feisty", "(ง •̀_•́)ง", "Feisty", {"feisty", "fight"}, {"fists", "tough"}),
        row("emoticon-flexing", "ᕦ(ò_óˇ)ᕤ", "Flexing", {"flexing", "flex"}, {"strong", "gym"}),
        row("emoticon-gun", "︻┳テ=一", "Gun", {"gun", "rifle"}, {"shoot", "weapon"}),
        row("emoticon-joyful", "\\ ^_^ /", "Joyful", {"joyful"}, {"happy", "cheer"}),
        row("emoticon-pomlo", "(っ˘ω˘ς)", "Pomlo", {"pomlo"}, {"cozy", "content"}),
        row("emoticon-dismissive", "(╯˘ -˘ )╯", "Dismissive", {"dismissive", "meh"}, {"whatever", "shrug"}),
        row("emoticon-singing", "(⌒o⌒)♪~♪", "Singing", {"singing", "sing"}, {"music", "song"}),
        row("emoticon-vampirebat", "(㇏(•̀ᵥᵥ•́)ノ)", "Vampire bat", {"vampirebat", "vampire"}, {"bat", "spooky"}),
        row("emoticon-angryface", "è.é", "Angry face", {"angryface", "grumpy"}, {"angry", "mad"}),
        row("emoticon-middlefingerextended", "┌∩┐(◣_◢)┌∩┐", "Middle finger extended", {"middlefingerextended"}, {"rude", "angry"}),
        row("emoticon-teddybear", "(ᵔᴥᵔ)", "Teddy bear", {"teddybear", "teddy"}, {"bear", "cute"}),
    };
    // clang-format on
    return entries;
}

const std::vector<std::string>& EmoticonCatalog::defaultOrder() {
    // clang-format off
    static const std::vector<std::string> order = {
        "emoticon-tableflip",
        "emoticon-unflip",
        "emoticon-shrug",
        "emoticon-lenny",
        "emoticon-look",
        "emoticon-yay",
        "emoticon-banzai",
        "emoticon-hug",
        "emoticon-loveeyes",
        "emoticon-rage",
        "emoticon-dealwithit",
        "emoticon-think",
        "emoticon-wow",
        "emoticon-smirk",
        "emoticon-wink",
        "emoticon-sparkle",
        "emoticon-happy",
        "emoticon-victory",
        "emoticon-fistpump",
        "emoticon-fistbump",
        "emoticon-cheers",
        "emoticon-cry",
        "emoticon-sob",
        "emoticon-tea",
        "emoticon-coffee",
        "emoticon-cat",
        "emoticon-dog",
        "emoticon-robot",
        "emoticon-peace",
        "emoticon-bow",
        "emoticon-flower",
        "emoticon-magic",
        "emoticon-blankstare",
        "emoticon-happyclassic",
        "emoticon-softsmile",
        "emoticon-cutehappy",
        "emoticon-friendly",
        "emoticon-affection",
        "emoticon-hellowave",
        "emoticon-fingerguns",
        "emoticon-marge",
        "emoticon-cheekygrin",
        "emoticon-dj",
        "emoticon-middlefinger",
        "emoticon-doggo",
        "emoticon-notes",
        "emoticon-feisty",
        "emoticon-flexing",
        "emoticon-gun",
        "emoticon-joyful",
        "emoticon-pomlo",
        "emoticon-dismissive",
        "emoticon-singing",
        "emoticon-vampirebat",
        "emoticon-angryface",
        "emoticon-middlefingerextended",
        "emoticon-teddybear",
        "emoticon-dance",
        "emoticon-sleep",
        "emoticon-muscle"
    };
    // clang-format on
    return order;
}

bool EmoticonCatalog::isKnownID(std::string_view id) {
    return entryIndexByID().contains(id);
}

std::vector<std::string> EmoticonCatalog::normalizedOrder(const std::vector<std::string>& order) {
    std::vector<std::string> result;
    result.reserve(allEntries().size());
    std::unordered_set<std::string_view> taken;
    const auto take = [&](const std::string& id) {
        if (isKnownID(id) && taken.insert(id).second) result.push_back(id);
    };
    for (const auto& id : order) take(id);
    for (const auto& id : defaultOrder()) take(id);
    // Completes the list should the default order ever miss a row.
    for (const auto& entry : allEntries()) take(entry.id);
    return result;
}

std::vector<EmojiEntry> EmoticonCatalog::orderedEntries(const std::vector<std::string>& preferredOrder,
                                                        const std::set<std::string>& hiddenIDs) {
    std::vector<EmojiEntry> result;
    const auto& index = entryIndexByID();
    for (const auto& id : normalizedOrder(preferredOrder)) {
        if (hiddenIDs.contains(id)) continue;
        result.push_back(allEntries()[index.at(id)]);
    }
    return result;
}

}  // namespace mosaiko

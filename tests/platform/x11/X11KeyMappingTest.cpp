#include "platform/x11/X11KeyMapping.hpp"

#include <gtest/gtest.h>

#include <X11/X.h>
#include <X11/XF86keysym.h>
#include <X11/keysym.h>

#include "platform/KeyEvent.hpp"

namespace mosaiko {
namespace {

TEST(X11KeyMappingTest, NamesKeysByTheDesktopTable) {
    const std::pair<unsigned long, std::uint16_t> cases[] = {
        {XK_a, 0},
        {XK_A, 0},
        {XK_z, 6},
        {XK_b, 11},
        {XK_1, 18},
        {XK_5, 23},
        {XK_0, 29},
        {XK_semicolon, 41},
        {XK_minus, 27},
        {XK_grave, 50},
        {XK_Return, 36},
        {XK_Tab, 48},
        {XK_ISO_Left_Tab, 48},
        {XK_space, 49},
        {XK_BackSpace, 51},
        {XK_Escape, 53},
        {XK_KP_Enter, 76},
        {XK_Delete, 117},
        {XK_Left, 123},
        {XK_Right, 124},
        {XK_Down, 125},
        {XK_Up, 126},
        {XK_F1, 122},
        {XK_F12, 111},
        {XK_Home, 115},
        {XK_Shift_L, 56},
        {XK_Shift_R, 60},
        {XK_Control_L, 59},
        {XK_Control_R, 62},
        {XK_Alt_L, 58},
        {XK_Alt_R, 61},
        {XK_ISO_Level3_Shift, 61},
        {XK_Super_L, 55},
        {XK_Super_R, 54},
        {XK_Caps_Lock, 57},
        {XK_KP_7, 89},
        {XK_KP_Home, 89},
    };
    for (const auto& [keysym, code] : cases) {
        EXPECT_EQ(X11KeyMapping::virtualKeyCode(keysym), code) << std::hex << keysym;
    }
    EXPECT_EQ(X11KeyMapping::virtualKeyCode(XK_Cyrillic_a), std::nullopt);
    EXPECT_EQ(X11KeyMapping::virtualKeyCode(0x100263a), std::nullopt);
    EXPECT_EQ(X11KeyMapping::unknownKeyCode(200), 0x100 + 200);
}

TEST(X11KeyMappingTest, KeyCodesLeadBackToTheKeysThatTypeThem) {
    EXPECT_EQ(X11KeyMapping::keysymForVirtualKeyCode(KeyCode::deleteKey), XK_BackSpace);
    EXPECT_EQ(X11KeyMapping::keysymForVirtualKeyCode(KeyCode::returnKey), XK_Return);
    EXPECT_EQ(X11KeyMapping::keysymForVirtualKeyCode(KeyCode::tab), XK_Tab);
    EXPECT_EQ(X11KeyMapping::keysymForVirtualKeyCode(71), XK_Clear);  // not Num Lock
    EXPECT_EQ(X11KeyMapping::keysymForVirtualKeyCode(114), XK_Insert);
    EXPECT_EQ(X11KeyMapping::keysymForVirtualKeyCode(52), 0u);  // no key has that code
    for (std::uint16_t code = 0; code < 128; ++code) {
        if (const unsigned long keysym = X11KeyMapping::keysymForVirtualKeyCode(code)) {
            EXPECT_EQ(X11KeyMapping::virtualKeyCode(keysym), code) << code;
        }
    }
}

TEST(X11KeyMappingTest, ModifierStateBecomesFlags) {
    const X11KeyMapping::ModifierMasks masks{Mod1Mask | Mod5Mask, Mod4Mask};
    EXPECT_EQ(X11KeyMapping::modifierFlags(0, masks), 0u);
    EXPECT_EQ(X11KeyMapping::modifierFlags(ShiftMask | ControlMask, masks),
              ModifierFlag::shift | ModifierFlag::control);
    EXPECT_EQ(X11KeyMapping::modifierFlags(Mod1Mask, masks), ModifierFlag::option);
    EXPECT_EQ(X11KeyMapping::modifierFlags(Mod5Mask, masks), ModifierFlag::option);  // AltGr
    EXPECT_EQ(X11KeyMapping::modifierFlags(Mod4Mask | LockMask, masks),
              ModifierFlag::command | ModifierFlag::capsLock);
    EXPECT_EQ(X11KeyMapping::modifierFlags(Mod2Mask, masks), 0u);  // Num Lock is no flag
    EXPECT_EQ(X11KeyMapping::modifierFlags(0x2000 | ShiftMask, masks),
              ModifierFlag::shift);  // group bits ignored

    X11KeyMapping::ModifierMasks found;
    found = X11KeyMapping::classifyModifier(XK_Alt_L, Mod1Mask, found);
    found = X11KeyMapping::classifyModifier(XK_Meta_L, Mod1Mask, found);
    found = X11KeyMapping::classifyModifier(XK_Num_Lock, Mod2Mask, found);
    found = X11KeyMapping::classifyModifier(XK_Super_L, Mod4Mask, found);
    found = X11KeyMapping::classifyModifier(XK_Hyper_L, Mod4Mask, found);
    found = X11KeyMapping::classifyModifier(XK_ISO_Level3_Shift, Mod5Mask, found);
    EXPECT_EQ(found, (X11KeyMapping::ModifierMasks{Mod1Mask | Mod5Mask, Mod4Mask}));

    EXPECT_TRUE(X11KeyMapping::isModifierKeysym(XK_Shift_R));
    EXPECT_TRUE(X11KeyMapping::isModifierKeysym(XK_Caps_Lock));
    EXPECT_TRUE(X11KeyMapping::isModifierKeysym(XK_ISO_Level3_Shift));
    EXPECT_FALSE(X11KeyMapping::isModifierKeysym(XK_Num_Lock));
    EXPECT_FALSE(X11KeyMapping::isModifierKeysym(XK_a));
}

TEST(X11KeyMappingTest, KeysymsTypeTheirText) {
    EXPECT_EQ(X11KeyMapping::characters(XK_a, false), "a");
    EXPECT_EQ(X11KeyMapping::characters(XK_A, false), "A");
    EXPECT_EQ(X11KeyMapping::characters(XK_a, true), "\x01");
    EXPECT_EQ(X11KeyMapping::characters(XK_bracketleft, true), "\x1b");
    EXPECT_EQ(X11KeyMapping::characters(XK_1, true), "1");  // no control form
    EXPECT_EQ(X11KeyMapping::characters(XK_eacute, false), "é");
    EXPECT_EQ(X11KeyMapping::characters(XK_Cyrillic_ya, false), "я");
    EXPECT_EQ(X11KeyMapping::characters(0x100263a, false), "☺");
    EXPECT_EQ(X11KeyMapping::characters(0x101F600, false), "😀");
    EXPECT_EQ(X11KeyMapping::characters(XK_Return, false), "\r");
    EXPECT_EQ(X11KeyMapping::characters(XK_Shift_L, false), "");
    EXPECT_EQ(X11KeyMapping::characters(XF86XK_AudioMute, false), "");
    // A dead key types nothing itself; its accent alone, from the first dead key to the last.
    EXPECT_EQ(X11KeyMapping::characters(XK_dead_acute, false), "");
    EXPECT_EQ(X11KeyMapping::deadKeyAccent(XK_dead_grave), "`");
    EXPECT_EQ(X11KeyMapping::deadKeyAccent(XK_dead_acute), "\u00B4");
    EXPECT_EQ(X11KeyMapping::deadKeyAccent(XK_dead_ogonek), "\u02DB");
    EXPECT_EQ(X11KeyMapping::deadKeyAccent(XK_dead_iota), "");
    EXPECT_EQ(X11KeyMapping::deadKeyAccent(XK_acute), "");

    // Keys that move the caret or edit without text are no query characters, whatever is held.
    const std::pair<unsigned long, const char*> functionKeys[] = {
        {XK_Up, "\uF700"},     {XK_Left, "\uF702"},      {XK_KP_Right, "\uF703"}, {XK_F1, "\uF704"},
        {XK_F5, "\uF708"},     {XK_F12, "\uF70F"},       {XK_F35, "\uF726"},      {XK_Insert, "\uF727"},
        {XK_Delete, "\uF728"}, {XK_KP_Delete, "\uF728"}, {XK_Home, "\uF729"},     {XK_KP_Home, "\uF729"},
        {XK_End, "\uF72B"},    {XK_Prior, "\uF72C"},     {XK_KP_Next, "\uF72D"},  {XK_Menu, "\uF735"},
    };
    for (const auto& [keysym, text] : functionKeys) {
        EXPECT_EQ(X11KeyMapping::characters(keysym, false), text) << std::hex << keysym;
        EXPECT_EQ(X11KeyMapping::characters(keysym, true), text) << std::hex << keysym;
    }

    EXPECT_EQ(X11KeyMapping::keysymForCodePoint(U'a'), XK_a);
    EXPECT_EQ(X11KeyMapping::keysymForCodePoint(U'\u00AF'), XK_macron);
    EXPECT_EQ(X11KeyMapping::keysymForCodePoint(U'\u30C4'), 0x10030C4u);
    EXPECT_EQ(X11KeyMapping::keysymForCodePoint(U'\U0001F3FB'), 0x101F3FBu);
    EXPECT_EQ(X11KeyMapping::keysymForCodePoint(U'\u200D'), 0x100200Du);
    EXPECT_EQ(X11KeyMapping::keysymForCodePoint(U'\u0085'),
              0x1000085u);  // a C1 control has no Latin-1 keysym
}

}  // namespace
}  // namespace mosaiko

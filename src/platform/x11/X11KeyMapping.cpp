#include "platform/x11/X11KeyMapping.hpp"

#include <X11/X.h>
#include <X11/XF86keysym.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <array>
#include <utility>

#include "platform/KeyEvent.hpp"

namespace mosaiko {

namespace {

struct Entry {
    unsigned long keysym;
    std::uint16_t code;
};

// The desktop's layout-independent key codes, named by the keysym the key carries on a US layout
// (unshifted first, so that the reverse lookup finds the plain key).
constexpr std::array kTable = std::to_array<Entry>({
    {XK_a, 0},
    {XK_s, 1},
    {XK_d, 2},
    {XK_f, 3},
    {XK_h, 4},
    {XK_g, 5},
    {XK_z, 6},
    {XK_x, 7},
    {XK_c, 8},
    {XK_v, 9},
    {XK_b, 11},
    {XK_q, 12},
    {XK_w, 13},
    {XK_e, 14},
    {XK_r, 15},
    {XK_y, 16},
    {XK_t, 17},
    {XK_1, 18},
    {XK_2, 19},
    {XK_3, 20},
    {XK_4, 21},
    {XK_6, 22},
    {XK_5, 23},
    {XK_equal, 24},
    {XK_9, 25},
    {XK_7, 26},
    {XK_minus, 27},
    {XK_8, 28},
    {XK_0, 29},
    {XK_bracketright, 30},
    {XK_o, 31},
    {XK_u, 32},
    {XK_bracketleft, 33},
    {XK_i, 34},
    {XK_p, 35},
    {XK_Return, 36},
    {XK_l, 37},
    {XK_j, 38},
    {XK_apostrophe, 39},
    {XK_k, 40},
    {XK_semicolon, 41},
    {XK_backslash, 42},
    {XK_comma, 43},
    {XK_slash, 44},
    {XK_n, 45},
    {XK_m, 46},
    {XK_period, 47},
    {XK_Tab, 48},
    {XK_ISO_Left_Tab, 48},
    {XK_space, 49},
    {XK_grave, 50},
    {XK_BackSpace, 51},
    {XK_Escape, 53},
    {XK_Super_R, 54},
    {XK_Super_L, 55},
    {XK_Hyper_R, 54},
    {XK_Hyper_L, 55},
    {XK_Shift_L, 56},
    {XK_Caps_Lock, 57},
    {XK_Alt_L, 58},
    {XK_Meta_L, 58},
    {XK_Control_L, 59},
    {XK_Shift_R, 60},
    {XK_Alt_R, 61},
    {XK_Meta_R, 61},
    {XK_ISO_Level3_Shift, 61},
    {XK_Mode_switch, 61},
    {XK_Control_R, 62},
    {XK_F17, 64},
    {XK_KP_Decimal, 65},
    {XK_KP_Delete, 65},
    {XK_KP_Multiply, 67},
    {XK_KP_Add, 69},
    {XK_Clear, 71},
    {XK_Num_Lock, 71},
    {XF86XK_AudioRaiseVolume, 72},
    {XF86XK_AudioLowerVolume, 73},
    {XF86XK_AudioMute, 74},
    {XK_KP_Divide, 75},
    {XK_KP_Enter, 76},
    {XK_KP_Subtract, 78},
    {XK_F18, 79},
    {XK_F19, 80},
    {XK_KP_Equal, 81},
    {XK_KP_0, 82},
    {XK_KP_Insert, 82},
    {XK_KP_1, 83},
    {XK_KP_End, 83},
    {XK_KP_2, 84},
    {XK_KP_Down, 84},
    {XK_KP_3, 85},
    {XK_KP_Next, 85},
    {XK_KP_4, 86},
    {XK_KP_Left, 86},
    {XK_KP_5, 87},
    {XK_KP_Begin, 87},
    {XK_KP_6, 88},
    {XK_KP_Right, 88},
    {XK_KP_7, 89},
    {XK_KP_Home, 89},
    {XK_F20, 90},
    {XK_KP_8, 91},
    {XK_KP_Up, 91},
    {XK_KP_9, 92},
    {XK_KP_Prior, 92},
    {XK_F5, 96},
    {XK_F6, 97},
    {XK_F7, 98},
    {XK_F3, 99},
    {XK_F8, 100},
    {XK_F9, 101},
    {XK_F11, 103},
    {XK_F13, 105},
    {XK_F16, 106},
    {XK_F14, 107},
    {XK_F10, 109},
    {XK_F12, 111},
    {XK_F15, 113},
    {XK_Insert, 114},
    {XK_Help, 114},
    {XK_Home, 115},
    {XK_Prior, 116},
    {XK_Delete, 117},
    {XK_F4, 118},
    {XK_End, 119},
    {XK_F2, 120},
    {XK_Next, 121},
    {XK_F1, 122},
    {XK_Left, 123},
    {XK_Right, 124},
    {XK_Down, 125},
    {XK_Up, 126},
});

// Keys that move the caret or act without typing text carry a character of the private-use range
// of their own, as the desktop's function keys do, so that a search treats them as what they are: a
// key that is no query character. Without one, a session would go on counting after the caret moved.
constexpr std::array kFunctionKeys = std::to_array<std::pair<unsigned long, char32_t>>({
    {XK_Up, 0xF700},     {XK_KP_Up, 0xF700},     {XK_Down, 0xF701},    {XK_KP_Down, 0xF701},
    {XK_Left, 0xF702},   {XK_KP_Left, 0xF702},   {XK_Right, 0xF703},   {XK_KP_Right, 0xF703},
    {XK_KP_F1, 0xF704},  {XK_KP_F2, 0xF705},     {XK_KP_F3, 0xF706},   {XK_KP_F4, 0xF707},
    {XK_Insert, 0xF727}, {XK_KP_Insert, 0xF727}, {XK_Delete, 0xF728},  {XK_KP_Delete, 0xF728},
    {XK_Home, 0xF729},   {XK_KP_Home, 0xF729},   {XK_Begin, 0xF72A},   {XK_KP_Begin, 0xF72A},
    {XK_End, 0xF72B},    {XK_KP_End, 0xF72B},    {XK_Prior, 0xF72C},   {XK_KP_Prior, 0xF72C},
    {XK_Next, 0xF72D},   {XK_KP_Next, 0xF72D},   {XK_Print, 0xF72E},   {XK_Scroll_Lock, 0xF72F},
    {XK_Pause, 0xF730},  {XK_Sys_Req, 0xF731},   {XK_Break, 0xF732},   {XK_Menu, 0xF735},
    {XK_Clear, 0xF739},  {XK_Select, 0xF741},    {XK_Execute, 0xF742}, {XK_Undo, 0xF743},
    {XK_Redo, 0xF744},   {XK_Find, 0xF745},      {XK_Help, 0xF746},
});

std::optional<char32_t> functionKeyCharacter(unsigned long keysym) {
    if (keysym >= XK_F1 && keysym <= XK_F35) return static_cast<char32_t>(0xF704 + (keysym - XK_F1));
    for (const auto& [key, character] : kFunctionKeys) {
        if (key == keysym) return character;
    }
    return std::nullopt;
}

unsigned long lowercase(unsigned long keysym) {
    if (keysym >= XK_A && keysym <= XK_Z) return keysym + (XK_a - XK_A);
    return keysym;
}

}  // namespace

std::optional<std::uint16_t> X11KeyMapping::virtualKeyCode(unsigned long keysym) {
    const unsigned long key = lowercase(keysym);
    for (const Entry& entry : kTable) {
        if (entry.keysym == key) return entry.code;
    }
    return std::nullopt;
}

unsigned long X11KeyMapping::keysymForVirtualKeyCode(std::uint16_t keyCode) {
    for (const Entry& entry : kTable) {
        if (entry.code == keyCode) return entry.keysym;
    }
    return 0;
}

bool X11KeyMapping::isModifierKeysym(unsigned long keysym) {
    switch (keysym) {
        case XK_Shift_L:
        case XK_Shift_R:
        case XK_Control_L:
        case XK_Control_R:
        case XK_Caps_Lock:
        case XK_Shift_Lock:
        case XK_Meta_L:
        case XK_Meta_R:
        case XK_Alt_L:
        case XK_Alt_R:
        case XK_Super_L:
        case XK_Super_R:
        case XK_Hyper_L:
        case XK_Hyper_R:
        case XK_ISO_Level3_Shift:
        case XK_ISO_Level5_Shift:
        case XK_Mode_switch:
            return true;
        default:
            return false;
    }
}

std::uint64_t X11KeyMapping::modifierFlags(unsigned state, ModifierMasks masks) {
    std::uint64_t flags = 0;
    if (state & ShiftMask) flags |= ModifierFlag::shift;
    if (state & LockMask) flags |= ModifierFlag::capsLock;
    if (state & ControlMask) flags |= ModifierFlag::control;
    if (state & masks.option) flags |= ModifierFlag::option;
    if (state & masks.command) flags |= ModifierFlag::command;
    return flags;
}

X11KeyMapping::ModifierMasks X11KeyMapping::classifyModifier(unsigned long keysym, unsigned modBit,
                                                             ModifierMasks masks) {
    switch (keysym) {
        case XK_Alt_L:
        case XK_Alt_R:
        case XK_Meta_L:
        case XK_Meta_R:
        case XK_ISO_Level3_Shift:
        case XK_Mode_switch:
            masks.option |= modBit;
            break;
        case XK_Super_L:
        case XK_Super_R:
        case XK_Hyper_L:
        case XK_Hyper_R:
            masks.command |= modBit;
            break;
        default:
            break;
    }
    return masks;
}

std::string X11KeyMapping::characters(unsigned long keysym, bool control) {
    char buffer[8] = {};
    if (const auto function = functionKeyCharacter(keysym)) {
        xkb_keysym_to_utf8(0x1000000 + *function, buffer, sizeof buffer);
        return buffer;
    }
    const int size = xkb_keysym_to_utf8(static_cast<xkb_keysym_t>(keysym), buffer, sizeof buffer);
    if (size <= 1) return {};  // no text (size counts the terminating NUL)
    std::string text(buffer, static_cast<std::size_t>(size - 1));
    if (control && text.size() == 1) {
        const char c = text[0];
        if ((c >= '@' && c < '\x7f') || c == ' ') text[0] = static_cast<char>(c & 0x1f);
    }
    return text;
}

std::string X11KeyMapping::deadKeyAccent(unsigned long keysym) {
    // dead_grave (0xFE50) up to dead_ogonek (0xFE5C), as the compose tables type them doubled.
    static const char* const accents[] = {"`",      "\u00B4", "^",      "~",      "\u00AF",
                                          "\u02D8", "\u02D9", "\u00A8", "\u02DA", "\u02DD",
                                          "\u02C7", "\u00B8", "\u02DB"};
    if (keysym < 0xFE50 || keysym > 0xFE5C) return {};
    return accents[keysym - 0xFE50];
}

unsigned long X11KeyMapping::keysymForCodePoint(char32_t codePoint) {
    // Latin-1 keysyms equal their code points; everything else uses the Unicode keysym range.
    if ((codePoint >= 0x20 && codePoint <= 0x7e) || (codePoint >= 0xa0 && codePoint <= 0xff))
        return codePoint;
    return 0x1000000UL + codePoint;
}

}  // namespace mosaiko
